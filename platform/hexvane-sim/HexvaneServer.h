// The HMI runtime stand-in: the tags of an HMI project with their live values and messages,
// served to PTSERV32.dll clients over a local socket in the runtime folder, while the caption
// "Vellumdock for Windows" is held. The server runs on a thread of its own, so the owner may
// call into PTSERV32.dll synchronously from any thread, tests included.
#pragma once
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class HexvaneScript;

// The caption of the HMI runtime's window.
inline QString HexvaneCaption() {
    return QStringLiteral("Vellumdock for Windows");
}

// The tag database's column Class, in any letter case: "DIGITAL" tags hold 0 or 1 (a written
// value that is not 0 becomes 1); "TEXT" tags are meant for messages; any other class
// ("ANALOG", "SYSTEM", empty ...) holds any number. Every tag has a value and a message.
enum class HexvaneTagKind { Analog, Digital, Text };

struct HexvaneTagState {
    quint16 handle = 0;  // 1, 2, ... in the order of the tag database; stable for the run
    QString name;
    QString tagClass;
    HexvaneTagKind kind = HexvaneTagKind::Analog;
    double value = 0;
    QString message;
    quint16 status = 0;
    QDateTime valueTime;    // time of the last write of the value
    QDateTime messageTime;  // time of the last write of the message
    quint64 changes = 0;    // writes of value or message so far
};

class HexvaneServer : public QObject {
    Q_OBJECT
  public:
    // The project folder holds the tag database <folder name>.pam.mir or <folder name>.pam.
    explicit HexvaneServer(const QString& projectFolder, QObject* parent = nullptr);
    ~HexvaneServer() override;

    // The tag database of a project folder (.pam.mir preferred); empty when there is none.
    static QString FindTagDatabase(const QString& projectFolder);

    // Loads the tags, takes the runtime folder, listens and takes the caption; false with
    // ErrorText() when any of it fails (another runtime running, no tag database ...).
    bool Start();
    // Gives up the caption, closes every client connection and the socket.
    void Stop();
    bool IsRunning() const;
    QString ErrorText() const;
    QString TagDatabasePath() const;
    QString SocketPath() const;

    // Tags are found by name in any letter case.
    QStringList TagNames() const;
    quint16 Handle(const QString& name) const;  // 65535 when unknown
    std::optional<HexvaneTagState> Tag(const QString& name) const;
    std::optional<HexvaneTagState> TagByHandle(quint16 handle) const;
    double Value(const QString& name) const;  // 0 when unknown
    QString Message(const QString& name) const;
    quint64 ChangeCount(const QString& name) const;

    // Writes with the time now and tells every advised client. False for an unknown tag.
    bool SetValue(const QString& name, double value);
    bool SetMessage(const QString& name, const QString& text);
    // The write of a client: the given time (invalid = now), and the status bits under mask.
    bool WriteValue(quint16 handle, double value, const QDateTime& time, quint16 mask, quint16 bits);
    bool WriteMessage(quint16 handle, const QString& text, const QDateTime& time, quint16 mask, quint16 bits);

    // Wait without an event loop; true when it happened within the time.
    bool WaitForValue(const QString& name, double value, int timeoutMs) const;
    bool WaitForChange(const QString& name, quint64 afterCount, int timeoutMs) const;
    bool WaitForQuit(int timeoutMs) const;

    // Plays a script on the server's thread; its times count from this call.
    bool PlayScript(const HexvaneScript& script);
    // A script's quit line: remembered, and quitRequested() is emitted (from the server thread).
    void RequestQuit();
    bool QuitRequested() const;

    // Requests of clients handled so far (not counting the checks of a quiet link).
    quint64 RequestCount() const;

  signals:
    void quitRequested();

  private:
    friend class HexvaneCore;
    struct Shared;
    std::unique_ptr<Shared> d_;
};
