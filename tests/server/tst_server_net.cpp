#include <QtTest>

#include <asio/buffers_iterator.hpp>
#include <asio/connect.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>
#include <asio/read_until.hpp>
#include <asio/streambuf.hpp>
#include <asio/write.hpp>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "server/instrument_server.h"
#include "server/server_options.h"

// The network part with a board of the test's own whose reads hold until told: ABORt, a client
// that goes away, the lock and the end at shutdown, each checked by the order of events on the
// board, never by the clock. The allow list and the command line as plain functions.

using namespace kx::server;
using asio::ip::tcp;

namespace {

// Registers answer their address; a read hands out codes 1, 2, 3... and then holds until its
// stop flag is set, or until released.
class GatedBoard : public Instrument {
public:
    std::string Serial() const override { return "GATED"; }
    Failure Reset() override { return {}; }
    bool Answers() override { return true; }
    ApplyOutcome Apply(const kx::ConverterSettings&) override { return {}; }
    int32_t ReadRegister(const RegisterInfo& info) override {
        Note("read " + QString::number(info.address));
        return info.address;
    }
    Failure WriteRegister(const RegisterInfo&, uint32_t) override { return {}; }
    Failure Calibrate(int) override { return {}; }

    ReadOutcome ReadCodes(int64_t count, const std::atomic<bool>& stop,
                          std::vector<int32_t>& codes) override {
        for (int32_t i = 1; i <= std::min<int64_t>(count, codesBeforeHold); ++i)
            codes.push_back(i);
        Note("reading");
        std::unique_lock lock(mutex_);
        // The stop flag is set from another thread without this mutex: look at it often.
        while (!stop && !released_)
            changed_.wait_for(lock, std::chrono::milliseconds(1));
        released_ = false;
        events_ << (stop ? "read stopped" : "read released");
        changed_.notify_all();
        return {stop ? kx::ReadEnd::Stopped : kx::ReadEnd::Done, {}, {}};
    }

    void Release() {
        std::lock_guard lock(mutex_);
        released_ = true;
    }
    void WaitFor(const QString& event) {
        std::unique_lock lock(mutex_);
        QVERIFY(changed_.wait_for(lock, std::chrono::seconds(60),
                                  [&] { return events_.contains(event); }));
    }
    QStringList events() {
        std::lock_guard lock(mutex_);
        return events_;
    }

    int codesBeforeHold = 3;

private:
    void Note(const QString& event) {
        std::lock_guard lock(mutex_);
        events_ << event;
        changed_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    QStringList events_;
    bool released_ = false;
};

// The server on its own thread, on the gated board.
struct Harness {
    GatedBoard board;
    Interpreter interpreter{board.Serial()};
    BoardWorker worker;
    asio::io_context io;
    InstrumentServer server;
    std::thread thread;

    explicit Harness(NetworkOptions options = {},
                     std::chrono::milliseconds lockTimeout = std::chrono::seconds(60))
        : worker(board, lockTimeout), server(io, WithFreePort(options), interpreter, worker) {
        std::string why;
        if (!server.Listen(why)) qFatal("%s", why.c_str());
        worker.Start();
        server.Start();
        thread = std::thread([this] { io.run(); });
    }
    ~Harness() {
        asio::post(io, [this] { server.Shutdown(); });
        thread.join();
        worker.Stop();
    }
    static NetworkOptions WithFreePort(NetworkOptions options) {
        options.port = 0;
        return options;
    }
};

// A blocking client.
struct Client {
    asio::io_context io;
    tcp::socket socket{io};
    asio::streambuf in;

    explicit Client(uint16_t port) {
        socket.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
    }
    void Send(const std::string& line) { asio::write(socket, asio::buffer(line + "\n")); }
    // The next line without its end; "<closed>" when the server closed the connection.
    QString Line() {
        asio::error_code ec;
        const size_t n = asio::read_until(socket, in, '\n', ec);
        if (ec) return "<closed>";
        std::string line(asio::buffers_begin(in.data()), asio::buffers_begin(in.data()) + n - 1);
        in.consume(n);
        return QString::fromStdString(line);
    }
    QString Ask(const std::string& line) {
        Send(line);
        return Line();
    }
};

}  // namespace

class ServerNetTest : public QObject {
    Q_OBJECT

private slots:
    // ABORt on the reading client's own connection, from another client, or from another client
    // while the reader holds the lock (then only the reader's own ABORt counts).
    void abortEndsRead_data() {
        QTest::addColumn<bool>("fromOther");
        QTest::addColumn<bool>("locked");
        QTest::newRow("same client") << false << false;
        QTest::newRow("other client") << true << false;
        QTest::newRow("other client, reader holds the lock") << true << true;
    }
    void abortEndsRead() {
        QFETCH(bool, fromOther);
        QFETCH(bool, locked);
        Harness h;
        Client reader(h.server.port());
        Client other(h.server.port());
        if (locked) QCOMPARE(reader.Ask("SYST:LOCK:REQ?"), QString("1"));
        reader.Send("READ? 1000");
        h.board.WaitFor("reading");
        (fromOther ? other : reader).Send("ABOR");
        if (locked) {
            // Not stopped by another client: the reader's own ABORt does it.
            QCOMPARE(other.Ask("*OPC?"), QString("1"));
            reader.Send("ABOR");
        }
        QCOMPARE(reader.Line(), QString("1,2,3"));
        QCOMPARE(h.board.events().last(), QString("read stopped"));
        QCOMPARE(reader.Ask("*OPC?"), QString("1"));
    }

    // A client that goes away mid-read stops the read and gives up its lock.
    void disconnectStopsReadAndLock() {
        Harness h;
        auto gone = std::make_unique<Client>(h.server.port());
        QCOMPARE(gone->Ask("SYST:LOCK:REQ?"), QString("1"));
        gone->Send("READ? 1000");
        h.board.WaitFor("reading");
        gone.reset();
        h.board.WaitFor("read stopped");
        Client next(h.server.port());
        QCOMPARE(next.Ask("SYST:LOCK:REQ?"), QString("1"));
    }

    // While one client holds the lock, another's board line waits; the holder's lines go ahead
    // of it even when sent later, and it runs once the lock is released.
    void lockHoldsOthersBack() {
        Harness h;
        Client holder(h.server.port());
        Client waiter(h.server.port());
        QCOMPARE(holder.Ask("SYST:LOCK:REQ?"), QString("1"));
        waiter.Send("REG:READ? mode");
        QCOMPARE(holder.Ask("REG:READ? status"), QString("#H0"));
        holder.Send("SYST:LOCK:REL");
        QCOMPARE(waiter.Line(), QString("#H1"));
        QCOMPARE(h.board.events(), QStringList({"read 0", "read 1"}));
    }

    // Past the lock time-out the waiting line runs without the board.
    void lockWaitRunsOut() {
        Harness h({}, std::chrono::milliseconds(1));
        Client holder(h.server.port());
        Client waiter(h.server.port());
        QCOMPARE(holder.Ask("SYST:LOCK:REQ?"), QString("1"));
        QCOMPARE(waiter.Ask("SYST:LOCK:REQ?;REG:READ? mode;:SYST:ERR?"),
                 QString("0;-200,\"Execution error;the board is locked by another client\""));
        QCOMPARE(h.board.events(), QStringList());
    }

    // At shutdown the read in progress ends, it and the line queued behind it are answered, and
    // then each connection is closed.
    void shutdownAnswersPending() {
        auto h = std::make_unique<Harness>();
        Client reader(h->server.port());
        Client queued(h->server.port());
        reader.Send("READ? 1000");
        h->board.WaitFor("reading");
        QCOMPARE(queued.Ask("*OPC?"), QString("1"));  // taken, so its next line is read too
        queued.Send("REG:READ? filter");
        // Shut down only once the queued line is on the board's queue.
        while (h->worker.queued() == 0)
            std::this_thread::yield();
        h.reset();
        QCOMPARE(reader.Line(), QString("1,2,3"));
        QCOMPARE(queued.Line(), QString("#H3"));
        QCOMPARE(reader.Line(), QString("<closed>"));
        QCOMPARE(queued.Line(), QString("<closed>"));
    }

    void allowList_data() {
        QTest::addColumn<QStringList>("allow");
        QTest::addColumn<QString>("client");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("loopback by default") << QStringList() << "127.0.0.9" << true;
        QTest::newRow("IPv6 loopback") << QStringList() << "::1" << true;
        QTest::newRow("not loopback") << QStringList() << "192.168.1.5" << false;
        QTest::newRow("network") << QStringList{"192.168.1.0/24"} << "192.168.1.200" << true;
        QTest::newRow("next network") << QStringList{"192.168.1.0/24"} << "192.168.2.1" << false;
        QTest::newRow("host") << QStringList{"10.0.0.7"} << "10.0.0.7" << true;
        QTest::newRow("other host") << QStringList{"10.0.0.7"} << "10.0.0.8" << false;
        QTest::newRow("odd prefix") << QStringList{"10.0.0.0/9"} << "10.127.255.255" << true;
        QTest::newRow("odd prefix, outside") << QStringList{"10.0.0.0/9"} << "10.128.0.0" << false;
        QTest::newRow("IPv4 on an IPv6 socket")
            << QStringList{"10.0.0.0/8"} << "::ffff:10.1.2.3" << true;
        QTest::newRow("IPv6 network") << QStringList{"2001:db8::/32"} << "2001:db8:5::1" << true;
        QTest::newRow("IPv4 entry, IPv6 client")
            << QStringList{"0.0.0.0/0"} << "2001:db8::1" << false;
        QTest::newRow("allow replaces loopback") << QStringList{"10.0.0.7"} << "127.0.0.1" << false;
    }
    void allowList() {
        QFETCH(QStringList, allow);
        QFETCH(QString, client);
        QFETCH(bool, allowed);
        AllowList list = allow.isEmpty() ? AllowList::Loopback() : AllowList();
        for (const QString& a : allow) {
            std::string why;
            QVERIFY(list.Add(a.toStdString(), why));
        }
        QCOMPARE(list.Allows(asio::ip::make_address(client.toStdString())), allowed);
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("outcome");  // "run", or the start of the refusal
        QTest::newRow("defaults") << QStringList{"--simulate"} << "run";
        QTest::newRow("free TCP port and a printer port")
            << QStringList{"--port", "0", "--port", "/dev/parport1"} << "run";
        QTest::newRow("TCP port too large") << QStringList{"--port", "70000"} << "--port takes";
        QTest::newRow("two TCP ports")
            << QStringList{"--port", "1", "--port", "2"} << "--port: one";
        QTest::newRow("bad allow") << QStringList{"--allow", "lab"} << "--allow takes";
        QTest::newRow("bad prefix") << QStringList{"--allow", "10.0.0.0/33"} << "--allow: '33'";
        QTest::newRow("no clients") << QStringList{"--max-clients", "0"} << "--max-clients";
        QTest::newRow("idle zero") << QStringList{"--idle-timeout", "0"} << "--idle-timeout";
        QTest::newRow("board option checked as the tool does")
            << QStringList{"--sim-fault", "melted"} << "--sim-fault melted: unknown";
        QTest::newRow("unknown option") << QStringList{"--shell"} << "The following";
    }
    void commandLine() {
        QFETCH(QStringList, args);
        QFETCH(QString, outcome);
        std::vector<std::string> a;
        for (const QString& s : args)
            a.push_back(s.toStdString());
        const auto parsed = ParseServerOptions(a);
        if (outcome == "run") {
            QCOMPARE(parsed.outcome, ParsedServerOptions::Outcome::Run);
        } else {
            QCOMPARE(parsed.outcome, ParsedServerOptions::Outcome::Usage);
            QVERIFY2(QString::fromStdString(parsed.text).startsWith(outcome), parsed.text.c_str());
        }
    }

    void commandLineValues() {
        const auto parsed = ParseServerOptions(
            {"--port", "0", "--listen", "::", "--allow", "10.0.0.0/8", "--max-clients", "5",
             "--idle-timeout", "2.5", "--lock-timeout", "0.25", "--simulate", "--sim-seed", "4"});
        QCOMPARE(parsed.outcome, ParsedServerOptions::Outcome::Run);
        const ServerOptions& o = parsed.options;
        QCOMPARE(o.network.port, uint16_t(0));
        QCOMPARE(o.network.listen, std::string("::"));
        QVERIFY(o.network.allow.Allows(asio::ip::make_address("10.9.9.9")));
        QCOMPARE(o.network.maxClients, size_t(5));
        QCOMPARE(o.network.idleTimeout.count(), 2500);
        QCOMPARE(o.lockTimeout.count(), 250);
        QVERIFY(o.board.simulate);
        QCOMPARE(ParseServerOptions({}).options.network.port, uint16_t(5025));
        QCOMPARE(ParseServerOptions({}).options.network.listen, std::string("127.0.0.1"));
    }
};

QTEST_APPLESS_MAIN(ServerNetTest)
#include "tst_server_net.moc"
