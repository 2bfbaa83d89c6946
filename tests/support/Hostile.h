// Random and hostile inputs for the fuzz-style tests: texts with quotes, backslashes, ";", "=",
// brackets, line breaks, control characters and overlong runs; numbers huge, tiny and not finite.
// LEDGRIX_FUZZ_ROUNDS sets how many rounds a test runs (small by default, for CI);
// LEDGRIX_FUZZ_SEED replays a run. Every run prints its seed.
#pragma once
#include <QString>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>

class Hostile {
  public:
    Hostile() : seed_(EnvNumber("LEDGRIX_FUZZ_SEED", std::random_device{}())), rng_(seed_) {
        std::printf("Hostile inputs of seed %u (LEDGRIX_FUZZ_SEED=%u replays them)\n", seed_, seed_);
        std::fflush(stdout);
    }

    static unsigned EnvNumber(const char* name, unsigned fallback) {
        const char* v = std::getenv(name);
        return v && *v ? static_cast<unsigned>(std::strtoul(v, nullptr, 10)) : fallback;
    }
    // Rounds of a test: `ci` unless LEDGRIX_FUZZ_ROUNDS asks for more.
    static int Rounds(int ci) {
        return static_cast<int>(EnvNumber("LEDGRIX_FUZZ_ROUNDS", static_cast<unsigned>(ci)));
    }
    unsigned Seed() const { return seed_; }
    int Int(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
    bool OneIn(int n) { return Int(1, n) == 1; }

    QString Text(int maxLength = 40) {
        static const char16_t* pieces[] = {
            u"'", u"''", u"\\", u"\\'",  u"\"", u";",  u"=",  u"[",    u"]",    u"{",    u"}",
            u"%", u"?",  u"--", u"\r\n", u"\n", u"\r", u"\t", u"\x01", u"\x1f", u" ",    u"上午",
            u"é", u"😀",  u",",  u"#",    u"a",  u"Z9", u"..", u"/",    u"C:",   u"PWD=", u"Data Source=x"};
        QString t;
        const int n = Int(0, maxLength);
        for (int i = 0; i < n; ++i) t += QString::fromUtf16(pieces[Int(0, std::size(pieces) - 1)]);
        if (OneIn(20)) t += QString(Int(300, 5000), QChar(u'x'));
        return t;
    }

    double Number() {
        switch (Int(0, 9)) {
            case 0:
                return std::nan("");
            case 1:
                return OneIn(2) ? std::numeric_limits<double>::infinity()
                                : -std::numeric_limits<double>::infinity();
            case 2:
                return (OneIn(2) ? 1 : -1) * std::pow(10.0, Int(15, 308));
            case 3:
                return std::pow(10.0, -Int(5, 320));
            case 4:
                return std::numeric_limits<double>::max();
            default:
                return std::uniform_real_distribution<double>(-1e6, 1e6)(rng_);
        }
    }

  private:
    unsigned seed_;
    std::mt19937 rng_;
};
