#include "saver/writers/WriterServices.h"

WriterServices& Services() {
    static WriterServices services;
    return services;
}
