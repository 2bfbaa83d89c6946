// A raised failure with a number and a description, caught where the design handles it.
#pragma once
#include <QString>
#include <stdexcept>

struct Failure : std::runtime_error {
    int number;
    QString description;
    Failure(int n, const QString& d) : std::runtime_error(d.toStdString()), number(n), description(d) {}
};

namespace FailureNumber {
constexpr int InvalidArgument = 5;
constexpr int Overflow = 6;
constexpr int DivisionByZero = 11;
constexpr int IndexOutOfRange = 9;
}  // namespace FailureNumber
