// Scripts of the HMI runtime stand-in. One instruction per line; seconds count from the start
// of the script and may have fractions; keywords in any letter case; tag names as in the tag
// database (any letter case); blank lines and lines starting with '#' are skipped.
//
//   <t> set <TAG> <value>        write a value at time t
//   <t> msg <TAG> <text>         write a message (the rest of the line, blanks around it removed)
//   <t> pulse <TAG>              write 1 (a trigger; the saver writes it back to 0)
//   <t> quit                     end the runtime
//   every <p> [from <t0>] [until <t1>] <action>
//                                repeat at t0, t0 + p, t0 + 2p ... (t0 defaults to 0) up to t1;
//                                <action> is one of set, msg, pulse above, and set also takes
//     set <TAG> ramp <start> <end> <step>   start, start + step ... back to start past end
//     set <TAG> random <low> <high>         a uniform random number from low to high
//
// Example:  0.5 set T1 12.5  |  every 1 set T2 random 0 50  |  every 3 from 1 pulse TRIG
#pragma once
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <random>
#include <vector>

#include <QElapsedTimer>
#include <QTimer>

class HexvaneServer;

struct HexvaneScriptLine {
    enum class Action { Set, Msg, Pulse, Quit };
    enum class Mode { Fixed, Ramp, Random };
    int lineNumber = 0;
    Action action = Action::Set;
    Mode mode = Mode::Fixed;
    QString tag;
    double value = 0;                     // Fixed
    double start = 0, end = 0, step = 0;  // Ramp
    double low = 0, high = 0;             // Random
    QString text;                         // Msg
    bool repeat = false;
    double at = 0;                // one-shot: seconds from the start
    double period = 0, from = 0;  // repeat
    std::optional<double> until;  // repeat: last possible time
};

class HexvaneScript {
  public:
    QList<HexvaneScriptLine> lines;

    // Parses a script; tagKnown (when given) says which tag names exist. On failure nothing,
    // with the error "line N: ..." in *error.
    static std::optional<HexvaneScript> Parse(const QString& text,
                                              const std::function<bool(const QString&)>& tagKnown,
                                              QString* error);
    // Reads and parses a file (UTF-8); errors start with the file's path.
    static std::optional<HexvaneScript> Load(const QString& path,
                                             const std::function<bool(const QString&)>& tagKnown,
                                             QString* error);
};

// Plays a script against a server; lives on the server's thread.
class HexvaneScriptPlayer : public QObject {
  public:
    HexvaneScriptPlayer(const HexvaneScript& script, HexvaneServer* server, QObject* parent);
    void Start();

  private:
    struct Entry {
        HexvaneScriptLine line;
        qint64 count = 0;  // firings so far
        double rampValue = 0;
        bool done = false;
        qint64 NextMs() const;
    };
    void Fire();
    void Perform(Entry& e);
    void Schedule();

    std::vector<Entry> entries_;
    HexvaneServer* server_;
    QElapsedTimer clock_;
    QTimer timer_;
    std::mt19937 random_;
};
