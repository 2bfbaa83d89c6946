// Number and text conversions shared by both programs. Number-to-text never depends on the locale.
#pragma once
#include <QString>
#include <cstdint>
#include <optional>

namespace Numbers {

// The leading number of a text: blanks skipped, an optional sign, digits with one ".", an
// optional exponent; 0 when the text does not begin with a number ("12abc" is 12, "abc" is 0).
double LeadingNumber(const QString& text);

// Rounds to the nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double RoundHalfEven(double value);
// Rounds to `decimals` places, halves to even, exactly at every magnitude; more places than a
// double holds leave the value as it is.
double RoundHalfEven(double value, int decimals);

// Whole conversions with range checks: nothing when the value does not fit.
std::optional<int16_t> ToInt16(double value);  // rounds halves to even first
std::optional<int32_t> ToInt32(double value);

// The whole text as a number ("12" yes, "12abc" no, "" no). Blanks around it are allowed.
std::optional<double> WholeTextNumber(const QString& text);

// A Boolean text: "True"/"False" in any letter case, or a number (non-zero is true).
std::optional<bool> BooleanText(const QString& text);

// The number's text as the system writes it: up to 15 significant digits, "." as decimal
// point, no trailing zeros, no exponent for ordinary magnitudes (12.5 -> "12.5", 3 -> "3").
QString NumberText(double value);

// Formats with a digit pattern such as "###0" or "###0.00": '0' a required digit, '#' an
// optional one; halves are rounded away from zero; every digit exact (1e20 with "###0" gives
// 100000000000000000000). A value that is not finite gives the empty text.
QString FormatNumberPattern(double value, const QString& pattern);
// FormatNumberPattern with "###0" and, for decimals > 0, a point and that many '0's.
QString DecimalsText(double value, int decimals);

// The plain forms of the roundings and patterns above, digit by digit on texts at every
// magnitude: they serve the values beyond ordinary magnitudes, and the fast forms are checked
// against them.
namespace Exact {
double RoundHalfEven(double value, int decimals);
QString FormatNumberPattern(double value, const QString& pattern);
}  // namespace Exact

// Fixed-point number with four decimal places: the raw value is the number times 10,000.
struct Fixed4 {
    int64_t raw = 0;
    // Rounds to the nearest 1/10,000, halves to even; raises the overflow failure when the value
    // does not fit.
    static Fixed4 FromDouble(double value);
    static Fixed4 FromRaw(int64_t r) { return Fixed4{r}; }
    double ToDouble() const { return static_cast<double>(raw) / 10000.0; }
    friend bool operator==(Fixed4 a, Fixed4 b) { return a.raw == b.raw; }
    friend auto operator<=>(Fixed4 a, Fixed4 b) { return a.raw <=> b.raw; }
};

}  // namespace Numbers
