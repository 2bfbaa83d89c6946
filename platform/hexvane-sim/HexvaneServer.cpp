#include "platform/hexvane-sim/HexvaneServer.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMutex>
#include <QPointer>
#include <QReadWriteLock>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUuid>
#include <QWaitCondition>
#include <atomic>
#include <vector>

#include "platform/captions/Captions.h"
#include "platform/captions/RuntimeFolder.h"
#include "platform/hexvane-sim/ChangeCounter.h"
#include "platform/hexvane-sim/HexvaneProtocol.h"
#include "platform/hexvane-sim/HexvaneScript.h"

namespace {

constexpr quint16 NoTag = 65535;

QString Key(const QString& name) {
    return name.toUpper();
}

HexvaneTagKind KindOfClass(const QString& tagClass) {
    const QString c = tagClass.trimmed().toUpper();
    if (c == QLatin1String("DIGITAL")) return HexvaneTagKind::Digital;
    if (c == QLatin1String("TEXT")) return HexvaneTagKind::Text;
    return HexvaneTagKind::Analog;
}

std::string Utf8(const QString& s) {
    return s.toStdString();
}
QString FromUtf8(const std::string& s) {
    return QString::fromStdString(s);
}

std::string WireTimeOf(const QDateTime& t) {
    const QDate d = t.date();
    const QTime c = t.time();
    return HexvaneWire::FormatTime({d.year(), d.month(), d.day(), c.hour(), c.minute(), c.second()});
}

std::string WireRow(const HexvaneTagState& t) {
    return HexvaneWire::EncodeText(Utf8(t.name)) + ' ' + HexvaneWire::EncodeText(Utf8(t.tagClass)) + ' ' +
           WireTimeOf(t.valueTime) + ' ' + std::to_string(t.status) + ' ' +
           HexvaneWire::FormatNumber(t.value) + ' ' + HexvaneWire::EncodeText(Utf8(t.message));
}

// The state fields of a tag: handle, value time, status, value, message time, message.
std::string WireState(const HexvaneTagState& t) {
    return std::to_string(t.handle) + ' ' + WireTimeOf(t.valueTime) + ' ' + std::to_string(t.status) + ' ' +
           HexvaneWire::FormatNumber(t.value) + ' ' + WireTimeOf(t.messageTime) + ' ' +
           HexvaneWire::EncodeText(Utf8(t.message));
}

// A client's advise: notifications of one tag go to that connection as (client, handle, index).
struct Advise {
    quint16 id;
    quint16 handle;
    qint32 client;
    qint32 index;
};

// What one connection may hold unsent before it is dropped (a client that stops reading must not
// grow the runtime or hold up the others), and the requests handled per turn of the event loop.
constexpr qint64 kMaxPendingOutput = 8 << 20;
constexpr int kRequestsPerTurn = 64;
constexpr quint16 kMaxAdviseId = 32767;

struct Connection {
    QByteArray buffer;
    std::vector<Advise> advises;
    std::vector<bool> usedIds = std::vector<bool>(kMaxAdviseId + 1, false);
    quint16 lastId = 0;
    bool mirror = false;   // receives the state line of every change
    bool dropped = false;  // its pending output passed the cap: closed at the next turn
};

}  // namespace

class HexvaneCore;

struct HexvaneServer::Shared {
    void EndThread(HexvaneCore* core);

    QString projectFolder;
    QString error;
    QString databasePath;
    QString socketPath;

    std::atomic<quint64> requests{0};
    // Held (shared) by writes of other threads while they wait for the server thread; Stop
    // takes it alone before the core goes.
    QReadWriteLock coreInUse;

    mutable QMutex mutex;  // guards everything below
    mutable QWaitCondition changed;
    std::vector<HexvaneTagState> tags;  // tags[h - 1] has handle h
    QHash<QString, quint16> byName;
    bool running = false;
    bool quit = false;
    HexvaneCore* core = nullptr;
    int mirrors = 0;  // connections that receive the state of every change

    QThread* thread = nullptr;
    int lockFd = -1;
    CaptionHold caption;
    ChangeCounter changeCount;  // moved after every state line sent and when the connections end

    const HexvaneTagState* Find(const QString& name) const {
        const quint16 h = byName.value(Key(name), 0);
        return h ? &tags[h - 1] : nullptr;
    }

    // Every write is a change: it carries a new time and is told to the advised clients, the
    // writer included (a client sees the echo of its own writes).
    template <typename Apply>
    bool Write(quint16 handle, quint16 mask, quint16 bits, Apply apply);
};

// Lives on the server thread: the listening socket, the client connections and the scripts.
class HexvaneCore : public QObject {
  public:
    explicit HexvaneCore(HexvaneServer* owner) : owner_(owner) {}
    ~HexvaneCore() override {
        // The sockets go with the listening socket, their child; nothing of theirs calls back.
        for (QLocalSocket* s : connections_.keys()) s->disconnect(this);
        connections_.clear();
    }

    bool Listen(const QString& path, QString* error) {
        server_ = new QLocalServer(this);
        server_->setSocketOptions(QLocalServer::UserAccessOption);
        QLocalServer::removeServer(path);
        if (!server_->listen(path)) {
            *error = server_->errorString();
            return false;
        }
        connect(server_, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* s = server_->nextPendingConnection()) Accept(s);
        });
        return true;
    }

    void Accept(QLocalSocket* s) {
        s->setReadBufferSize(static_cast<qint64>(HexvaneWire::MaxLine));
        connections_.insert(s, Connection{});
        connect(s, &QLocalSocket::readyRead, this, [this, s] { Read(s); });
        connect(s, &QLocalSocket::disconnected, this, [this, s] {
            const auto it = connections_.constFind(s);
            if (it != connections_.cend() && it->mirror) {
                QMutexLocker lk(&owner_->d_->mutex);
                --owner_->d_->mirrors;
            }
            connections_.remove(s);
            s->deleteLater();
        });
    }

    // Handles a bounded number of the connection's requests; the rest wait for a later turn, so
    // every client is served in turn.
    void Read(QLocalSocket* s) {
        auto it = connections_.find(s);
        if (it == connections_.end() || it->dropped) return;
        if (static_cast<std::size_t>(it->buffer.size()) < HexvaneWire::MaxLine) it->buffer += s->readAll();
        qsizetype nl;
        int handled = 0;
        while ((nl = it->buffer.indexOf('\n')) >= 0) {
            if (handled++ == kRequestsPerTurn) {
                QMetaObject::invokeMethod(
                    this,
                    [this, p = QPointer<QLocalSocket>(s)] {
                        if (p) Read(p);
                    },
                    Qt::QueuedConnection);
                return;
            }
            const QByteArray line = it->buffer.left(nl);
            it->buffer.remove(0, nl + 1);
            const std::string answer = Handle(*it, line.toStdString());
            // What a write sent to the mirrors is on its way before the writer hears of it.
            if (flushNeeded_) Flush();
            it = connections_.find(s);  // Handle touches no connection table, but stay safe
            if (it == connections_.end()) return;
            if (!answer.empty()) Send(s, *it, QByteArray::fromStdString(answer));
            if (it->dropped) return;
        }
        if (static_cast<std::size_t>(it->buffer.size()) > HexvaneWire::MaxLine) s->abort();
    }

    // Queues output for a connection; one that holds more than the cap unsent is dropped.
    void Send(QLocalSocket* s, Connection& c, const QByteArray& data) {
        if (c.dropped) return;
        s->write(data);
        if (s->bytesToWrite() <= kMaxPendingOutput) return;
        c.dropped = true;
        QMetaObject::invokeMethod(s, &QLocalSocket::abort, Qt::QueuedConnection);
    }

    // Sends a state line to every mirroring connection.
    void Push(const QByteArray& line) {
        for (auto it = connections_.begin(); it != connections_.end(); ++it) {
            if (!it->mirror) continue;
            QLocalSocket* s = it.key();
            // Straight to the system when nothing waits before it, else behind what waits.
            qsizetype sent = 0;
            if (s->bytesToWrite() == 0) {
                const ssize_t n = ::send(static_cast<int>(s->socketDescriptor()), line.constData(),
                                         static_cast<std::size_t>(line.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
                if (n > 0) sent = n;
            }
            if (sent < line.size()) {
                Send(s, it.value(), line.mid(sent));
                flushNeeded_ = true;
            }
        }
        owner_->d_->changeCount.Bump();
    }

    // Hands what is buffered for the mirrors to the system.
    void Flush() {
        flushNeeded_ = false;
        for (auto it = connections_.begin(); it != connections_.end(); ++it)
            if (it->mirror) it.key()->flush();
    }

    // The current state of a tag, to every mirroring connection.
    void PushState(quint16 handle) {
        bool any = false;
        for (const Connection& c : connections_) any = any || c.mirror;
        if (!any) return;
        const auto t = owner_->TagByHandle(handle);
        if (t) Push(QByteArray::fromStdString("$ " + WireState(*t) + '\n'));
        Flush();
    }

    // Notifications leave at once rather than at the next turn of the event loop.
    void Notify(quint16 handle) {
        for (auto it = connections_.begin(); it != connections_.end(); ++it) {
            bool wrote = false;
            for (const Advise& a : it->advises) {
                if (a.handle != handle) continue;
                Send(it.key(), it.value(),
                     QByteArray("! ") + QByteArray::number(a.client) + ' ' + QByteArray::number(a.handle) +
                         ' ' + QByteArray::number(a.index) + '\n');
                wrote = true;
            }
            if (wrote) it.key()->flush();
        }
    }

    void Play(const HexvaneScript& script) {
        auto* player = new HexvaneScriptPlayer(script, owner_, this);
        player->Start();
    }

  private:
    std::string Handle(Connection& c, const std::string& line) {
        using namespace HexvaneWire;
        const auto t = Split(line);
        // The library's checks of a quiet link are no requests of the client.
        const bool check = t.size() == 2 && t[1] == "PING";
        if (!check) ++owner_->d_->requests;
        if (t.size() < 2 || !ParseWhole(t[0])) return {};
        const std::string head = "= " + std::string(t[0]) + ' ';
        const std::string fail = head + "0\n";
        const std::string_view verb = t[1];
        auto handleAt = [&](std::size_t i) -> std::optional<quint16> {
            if (t.size() <= i) return std::nullopt;
            const auto h = ParseWhole(t[i]);
            if (!h || *h == 0 || *h >= NoTag || !owner_->TagByHandle(static_cast<quint16>(*h)))
                return std::nullopt;
            return static_cast<quint16>(*h);
        };
        auto word = [&](std::size_t i) -> std::optional<quint16> {
            const auto v = t.size() > i ? ParseWhole(t[i]) : std::nullopt;
            if (!v || *v > 0xFFFF) return std::nullopt;
            return static_cast<quint16>(*v);
        };
        auto timeAt = [&](std::size_t i, QDateTime* out) {
            bool now = false;
            const auto wt = ParseTime(t[i], &now);
            if (now) {
                *out = QDateTime();
                return true;
            }
            if (!wt) return false;
            const QDate d(wt->year, wt->month, wt->day);
            const QTime c(wt->hour, wt->minute, wt->second);
            if (!d.isValid() || !c.isValid()) return false;
            *out = QDateTime(d, c);
            return true;
        };

        if (check) return head + "1\n";
        if (verb == "FIND" && t.size() == 3) {
            const auto name = DecodeText(t[2]);
            return head + std::to_string(name ? owner_->Handle(FromUtf8(*name)) : NoTag) + '\n';
        }
        if ((verb == "GETV" || verb == "GETM") && t.size() == 3) {
            const auto h = handleAt(2);
            if (!h) return fail;
            const HexvaneTagState s = *owner_->TagByHandle(*h);
            if (verb == "GETV")
                return head + "1 " + WireTimeOf(s.valueTime) + ' ' + std::to_string(s.status) + ' ' +
                       FormatNumber(s.value) + '\n';
            return head + "1 " + WireTimeOf(s.messageTime) + ' ' + std::to_string(s.status) + ' ' +
                   EncodeText(Utf8(s.message)) + '\n';
        }
        if ((verb == "SETV" || verb == "SETM") && t.size() == 8) {
            const auto h = handleAt(2);
            QDateTime time;
            const auto mask = word(4), bits = word(5);
            if (!h || !timeAt(3, &time) || !mask || !bits) return fail;
            bool ok;
            if (verb == "SETV") {
                const auto v = ParseNumber(t[6]);
                ok = v && owner_->WriteValue(*h, *v, time, *mask, *bits);
            } else {
                const auto text = DecodeText(t[6]);
                ok = text && owner_->WriteMessage(*h, FromUtf8(*text), time, *mask, *bits);
            }
            return head + (ok ? "1\n" : "0\n");
        }
        if (verb == "ADV" && t.size() == 5) {
            const auto h = handleAt(2);
            const auto client = ParseSigned(t[3]), index = ParseSigned(t[4]);
            if (!h || !client || !index) return fail;
            if (c.advises.size() >= kMaxAdviseId) return fail;
            // The next free id after the last one given, found in the table of ids in use.
            quint16 id = c.lastId;
            do id = id >= kMaxAdviseId ? 1 : id + 1;
            while (c.usedIds[id]);
            c.lastId = id;
            c.usedIds[id] = true;
            c.advises.push_back(
                {id, *h, static_cast<qint32>(static_cast<uint32_t>(*client)), static_cast<qint32>(*index)});
            return head + std::to_string(id) + '\n';
        }
        if (verb == "UNADV" && t.size() == 4) {
            const auto h = ParseWhole(t[2]), id = ParseWhole(t[3]);
            if (!h || !id) return fail;
            for (auto a = c.advises.begin(); a != c.advises.end(); ++a) {
                if (a->handle == *h && a->id == *id) {
                    c.usedIds[a->id] = false;
                    c.advises.erase(a);
                    return head + "1\n";
                }
            }
            return fail;
        }
        if ((verb == "SETN" || verb == "MSGN") && t.size() == 4) {
            const auto name = DecodeText(t[2]);
            if (!name) return fail;
            bool ok;
            if (verb == "SETN") {
                const auto v = ParseNumber(t[3]);
                ok = v && owner_->SetValue(FromUtf8(*name), *v);
            } else {
                const auto text = DecodeText(t[3]);
                ok = text && owner_->SetMessage(FromUtf8(*name), FromUtf8(*text));
            }
            return head + (ok ? "1\n" : "0\n");
        }
        if (verb == "GETN" && t.size() == 3) {
            const auto name = DecodeText(t[2]);
            const auto s = name ? owner_->Tag(FromUtf8(*name)) : std::nullopt;
            return s ? head + "1 " + WireRow(*s) + '\n' : fail;
        }
        if (verb == "SNAP" && t.size() == 2) {
            std::string out;
            std::size_t count;
            {
                HexvaneServer::Shared& d = *owner_->d_;
                QMutexLocker lk(&d.mutex);
                if (!c.mirror) ++d.mirrors;
                count = d.tags.size();
                for (const HexvaneTagState& s : d.tags)
                    out += "* " + WireState(s) + ' ' + EncodeText(Utf8(s.name)) + ' ' +
                           EncodeText(Utf8(Key(s.name))) + '\n';
            }
            c.mirror = true;
            return out + head + std::to_string(count) + '\n';
        }
        if (verb == "LIST" && t.size() == 2) {
            const QStringList names = owner_->TagNames();
            std::string out = head + std::to_string(names.size()) + '\n';
            for (const QString& n : names) out += "* " + WireRow(*owner_->Tag(n)) + '\n';
            return out;
        }
        return fail;
    }

    HexvaneServer* owner_;
    QLocalServer* server_ = nullptr;
    bool flushNeeded_ = false;
    QHash<QLocalSocket*, Connection> connections_;
};

HexvaneServer::HexvaneServer(const QString& projectFolder, QObject* parent)
    : QObject(parent), d_(std::make_unique<Shared>()) {
    d_->projectFolder = projectFolder;
}

HexvaneServer::~HexvaneServer() {
    Stop();
}

QString HexvaneServer::FindTagDatabase(const QString& projectFolder) {
    const QDir dir(projectFolder);
    const QString name = QFileInfo(QDir::cleanPath(dir.absolutePath())).fileName();
    const QStringList entries = dir.entryList(QDir::Files);
    // Project folders are named in any letter case: match the file names so too.
    for (const QString& wanted : {name + QStringLiteral(".pam.mir"), name + QStringLiteral(".pam")})
        for (const QString& e : entries)
            if (e.compare(wanted, Qt::CaseInsensitive) == 0) return dir.absoluteFilePath(e);
    return {};
}

namespace {

// Reads Tag(TagName, Class); nothing with an error text when the file is no tag database.
std::optional<std::vector<HexvaneTagState>> LoadTags(const QString& path, QString* error) {
    const QString connection =
        QStringLiteral("hexvane-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    std::optional<std::vector<HexvaneTagState>> result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open()) {
            *error = QStringLiteral("cannot open the tag database %1: %2").arg(path, db.lastError().text());
        } else {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("SELECT TagName, Class FROM Tag ORDER BY rowid"))) {
                *error = QStringLiteral("the tag database %1 has no table Tag(TagName, Class): %2")
                             .arg(path, q.lastError().text());
            } else {
                std::vector<HexvaneTagState> tags;
                QHash<QString, bool> seen;
                const QDateTime now = QDateTime::currentDateTime();
                while (q.next()) {
                    const QString name = q.value(0).toString().trimmed();
                    if (name.isEmpty() || seen.contains(Key(name))) continue;  // one tag per name
                    if (static_cast<std::size_t>(name.toUtf8().size()) > HexvaneWire::MaxText) continue;
                    if (tags.size() >= NoTag - 1) break;
                    seen.insert(Key(name), true);
                    HexvaneTagState t;
                    t.handle = static_cast<quint16>(tags.size() + 1);
                    t.name = name;
                    t.tagClass = q.value(1).toString();
                    t.kind = KindOfClass(t.tagClass);
                    t.valueTime = t.messageTime = now;
                    tags.push_back(t);
                }
                result = std::move(tags);
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return result;
}

}  // namespace

// Deletes the core on its own thread and ends that thread.
void HexvaneServer::Shared::EndThread(HexvaneCore* core) {
    QMetaObject::invokeMethod(
        core, [core] { delete core; }, Qt::BlockingQueuedConnection);
    thread->quit();
    thread->wait();
    delete thread;
    thread = nullptr;
}

bool HexvaneServer::Start() {
    if (IsRunning()) return true;
    d_->error.clear();
    d_->databasePath = FindTagDatabase(d_->projectFolder);
    if (d_->databasePath.isEmpty()) {
        const QString name = QFileInfo(QDir::cleanPath(QDir(d_->projectFolder).absolutePath())).fileName();
        d_->error = QStringLiteral("no tag database %1.pam or %1.pam.mir in the project folder %2")
                        .arg(name, d_->projectFolder);
        return false;
    }
    auto tags = LoadTags(d_->databasePath, &d_->error);
    if (!tags) return false;

    // One runtime per runtime folder, and only in a folder no other user may write to.
    const RuntimeFolderState state = MakeRuntimeFolder();
    if (!state.Usable()) {
        d_->error = QString::fromStdString(RuntimeFolderRefusal(LedgrixRuntimeFolderPath(), state));
        return false;
    }
    const QString folder = QString::fromStdString(LedgrixRuntimeFolderPath());
    const QByteArray lockPath = QFile::encodeName(folder + QStringLiteral("/hexvane.lock"));
    const int fd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (fd < 0 || ::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        if (fd >= 0) ::close(fd);
        d_->error = QStringLiteral("an HMI runtime is already running in %1").arg(folder);
        return false;
    }
    d_->lockFd = fd;
    d_->changeCount.Open(true);

    {
        QMutexLocker lk(&d_->mutex);
        d_->tags = std::move(*tags);
        d_->byName.clear();
        for (const HexvaneTagState& t : d_->tags) d_->byName.insert(Key(t.name), t.handle);
        d_->quit = false;
        d_->mirrors = 0;
    }

    d_->socketPath = QString::fromStdString(HexvaneSocketPath());
    d_->thread = new QThread;
    d_->thread->setObjectName(QStringLiteral("hexvane-server"));
    auto* core = new HexvaneCore(this);
    core->moveToThread(d_->thread);
    d_->thread->start();
    bool listening = false;
    QString error;
    QMetaObject::invokeMethod(
        core, [&] { listening = core->Listen(d_->socketPath, &error); }, Qt::BlockingQueuedConnection);
    if (!listening) {
        d_->EndThread(core);
        ::close(d_->lockFd);
        d_->lockFd = -1;
        d_->error = QStringLiteral("cannot listen on %1: %2").arg(d_->socketPath, error);
        return false;
    }
    {
        QMutexLocker lk(&d_->mutex);
        d_->core = core;
        d_->running = true;
    }
    d_->caption.Acquire(HexvaneCaption());
    return true;
}

void HexvaneServer::Stop() {
    HexvaneCore* core;
    {
        QMutexLocker lk(&d_->mutex);
        if (!d_->running) return;
        d_->running = false;
        core = d_->core;
        d_->core = nullptr;
        d_->changed.wakeAll();
    }
    d_->caption.Release();  // the window goes first
    {
        // The core, its connections and players are deleted on their own thread, once no write
        // of another thread waits for it.
        QWriteLocker use(&d_->coreInUse);
        d_->EndThread(core);
    }
    // The clients look at their sockets again and find them closed.
    d_->changeCount.Bump();
    d_->changeCount.Close();
    QFile::remove(d_->socketPath);
    ::close(d_->lockFd);
    d_->lockFd = -1;
}

bool HexvaneServer::IsRunning() const {
    QMutexLocker lk(&d_->mutex);
    return d_->running;
}

QString HexvaneServer::ErrorText() const {
    return d_->error;
}
QString HexvaneServer::TagDatabasePath() const {
    return d_->databasePath;
}
QString HexvaneServer::SocketPath() const {
    return d_->socketPath;
}

QStringList HexvaneServer::TagNames() const {
    QMutexLocker lk(&d_->mutex);
    QStringList names;
    for (const HexvaneTagState& t : d_->tags) names << t.name;
    return names;
}

quint16 HexvaneServer::Handle(const QString& name) const {
    QMutexLocker lk(&d_->mutex);
    const HexvaneTagState* t = d_->Find(name);
    return t ? t->handle : NoTag;
}

std::optional<HexvaneTagState> HexvaneServer::Tag(const QString& name) const {
    QMutexLocker lk(&d_->mutex);
    const HexvaneTagState* t = d_->Find(name);
    if (!t) return std::nullopt;
    return *t;
}

std::optional<HexvaneTagState> HexvaneServer::TagByHandle(quint16 handle) const {
    QMutexLocker lk(&d_->mutex);
    if (handle == 0 || handle > d_->tags.size()) return std::nullopt;
    return d_->tags[handle - 1];
}

double HexvaneServer::Value(const QString& name) const {
    const auto t = Tag(name);
    return t ? t->value : 0;
}

QString HexvaneServer::Message(const QString& name) const {
    const auto t = Tag(name);
    return t ? t->message : QString();
}

quint64 HexvaneServer::ChangeCount(const QString& name) const {
    const auto t = Tag(name);
    return t ? t->changes : 0;
}

bool HexvaneServer::SetValue(const QString& name, double value) {
    return WriteValue(Handle(name), value, QDateTime(), 0, 0);
}

bool HexvaneServer::SetMessage(const QString& name, const QString& text) {
    return WriteMessage(Handle(name), text, QDateTime(), 0, 0);
}

template <typename Apply>
bool HexvaneServer::Shared::Write(quint16 handle, quint16 mask, quint16 bits, Apply apply) {
    QMutexLocker lk(&mutex);
    if (handle == 0 || handle > tags.size()) return false;
    HexvaneTagState& t = tags[handle - 1];
    apply(t);
    t.status = static_cast<quint16>((t.status & ~mask) | (bits & mask));
    ++t.changes;
    changed.wakeAll();
    HexvaneCore* const c = core;
    if (!c) return true;
    if (QThread::currentThread() == c->thread()) {
        // A client's write or the script's: the mirrors get the state ahead of the answer to the
        // writer and ahead of the notifications.
        if (mirrors > 0) {
            const QByteArray line = QByteArray::fromStdString("$ " + WireState(t) + '\n');
            lk.unlock();
            c->Push(line);
        }
        QMetaObject::invokeMethod(
            c, [c, handle] { c->Notify(handle); }, Qt::QueuedConnection);
    } else if (mirrors == 0) {
        QMetaObject::invokeMethod(
            c, [c, handle] { c->Notify(handle); }, Qt::QueuedConnection);
    } else {
        // A write of the owner returns when every mirror has it. The state sent is the one at
        // the time of sending, so that a mirror never steps back behind a later write.
        QReadLocker use(&coreInUse);
        lk.unlock();
        QMetaObject::invokeMethod(
            c,
            [c, handle] {
                c->PushState(handle);
                c->Notify(handle);
            },
            Qt::BlockingQueuedConnection);
    }
    return true;
}

bool HexvaneServer::WriteValue(quint16 handle, double value, const QDateTime& time, quint16 mask,
                               quint16 bits) {
    const QDateTime when = time.isValid() ? time : QDateTime::currentDateTime();
    return d_->Write(handle, mask, bits, [&](HexvaneTagState& t) {
        t.value = t.kind == HexvaneTagKind::Digital ? (value != 0 ? 1.0 : 0.0) : value;
        t.valueTime = when;
    });
}

bool HexvaneServer::WriteMessage(quint16 handle, const QString& text, const QDateTime& time, quint16 mask,
                                 quint16 bits) {
    // A message no client could take in is refused, so one write never cuts every client off.
    if (static_cast<std::size_t>(text.toUtf8().size()) > HexvaneWire::MaxText) return false;
    const QDateTime when = time.isValid() ? time : QDateTime::currentDateTime();
    return d_->Write(handle, mask, bits, [&](HexvaneTagState& t) {
        t.message = text;
        t.messageTime = when;
    });
}

bool HexvaneServer::WaitForValue(const QString& name, double value, int timeoutMs) const {
    QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lk(&d_->mutex);
    for (;;) {
        const HexvaneTagState* t = d_->Find(name);
        if (!t) return false;
        if (t->value == value) return true;
        if (!d_->changed.wait(&d_->mutex, deadline)) return false;
    }
}

bool HexvaneServer::WaitForChange(const QString& name, quint64 afterCount, int timeoutMs) const {
    QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lk(&d_->mutex);
    for (;;) {
        const HexvaneTagState* t = d_->Find(name);
        if (!t) return false;
        if (t->changes > afterCount) return true;
        if (!d_->changed.wait(&d_->mutex, deadline)) return false;
    }
}

bool HexvaneServer::WaitForQuit(int timeoutMs) const {
    QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lk(&d_->mutex);
    while (!d_->quit)
        if (!d_->changed.wait(&d_->mutex, deadline)) return false;
    return true;
}

bool HexvaneServer::PlayScript(const HexvaneScript& script) {
    QMutexLocker lk(&d_->mutex);
    HexvaneCore* core = d_->core;
    if (!core) return false;
    QMetaObject::invokeMethod(
        core, [core, script] { core->Play(script); }, Qt::QueuedConnection);
    return true;
}

void HexvaneServer::RequestQuit() {
    {
        QMutexLocker lk(&d_->mutex);
        d_->quit = true;
        d_->changed.wakeAll();
    }
    emit quitRequested();
}

bool HexvaneServer::QuitRequested() const {
    QMutexLocker lk(&d_->mutex);
    return d_->quit;
}

quint64 HexvaneServer::RequestCount() const {
    return d_->requests.load();
}
