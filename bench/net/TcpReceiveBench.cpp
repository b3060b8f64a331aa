// Streams 200 MiB over loopback into a TcpClient whose handler appends each arrival to a file
// the way the paper reception does (open, seek to the end, write, close per arrival), and the
// same stream into `nc -l > file`, in the same run. Prints both throughputs, their ratio and
// the largest arrival the client delivered.
//
//   TcpReceiveBench [MiB] [rounds]
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "net/TcpClient.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kBlock = 1024 * 1024;

std::string block() {
    std::string bytes(kBlock, '\0');
    for (std::size_t i = 0; i < kBlock; ++i) bytes[i] = static_cast<char>(i * 131 + (i >> 9));
    return bytes;
}

sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

void stream(int fd, std::size_t mib) {
    static const std::string data = block();
    for (std::size_t i = 0; i < mib; ++i) {
        std::size_t sent = 0;
        while (sent < data.size()) {
            const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return;
            sent += static_cast<std::size_t>(n);
        }
    }
}

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct Result {
    double seconds = 0;
    std::size_t fileSize = 0;
    std::size_t peakArrival = 0;
    std::size_t arrivals = 0;
};

// The client connects to a plain sender; the handler appends like the paper reception.
Result receiveWithClient(const QString& path, std::size_t mib) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(0);
    ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listener, 1);
    socklen_t size = sizeof a;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &size);
    std::thread sender([listener, mib] {
        const int fd = ::accept(listener, nullptr, nullptr);
        stream(fd, mib);
        ::close(fd);
    });

    Result result;
    const std::string file = path.toStdString();
    exam::TcpClient client;
    QEventLoop loop;
    client.bind(exam::TcpClient::DataArrival, [&] {
        const exam::Bytes data = client.receivedData();
        result.peakArrival = std::max(result.peakArrival, data.size());
        ++result.arrivals;
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT, 0644);
        ::lseek(fd, 0, SEEK_END);
        if (::write(fd, data.data(), data.size()) != static_cast<ssize_t>(data.size())) {
            std::perror("write");
        }
        ::close(fd);
    });
    client.bind(exam::TcpClient::ConnectionClosed, [&] { loop.quit(); });
    QTimer::singleShot(60000, &loop, [&] {
        std::fprintf(stderr, "client run: watchdog expired\n");
        loop.quit();
    });
    const auto start = Clock::now();
    if (client.connect(exam::Text("127.0.0.1"), ntohs(a.sin_port))) loop.exec();
    result.seconds = seconds(Clock::now() - start);
    sender.join();
    ::close(listener);
    result.fileSize = static_cast<std::size_t>(QFileInfo(path).size());
    return result;
}

// The same stream into `nc -l 127.0.0.1 PORT > file`.
Result receiveWithNc(const QString& path, std::size_t mib) {
    // A port that is free now; nc takes it a moment later.
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(0);
    ::bind(probe, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t size = sizeof a;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&a), &size);
    ::close(probe);

    QProcess nc;
    nc.setStandardInputFile(QProcess::nullDevice());
    nc.setStandardOutputFile(path);
    nc.start("nc", {"-l", "127.0.0.1", QString::number(ntohs(a.sin_port))});
    Result result;
    if (!nc.waitForStarted(5000)) {
        std::fprintf(stderr, "nc did not start\n");
        return result;
    }
    int fd = -1;
    for (int attempt = 0; attempt < 500 && fd < 0; ++attempt) {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ::close(fd);
            fd = -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    const auto start = Clock::now();
    if (fd >= 0) {
        stream(fd, mib);
        ::close(fd);
    }
    if (!nc.waitForFinished(60000)) nc.kill();
    result.seconds = seconds(Clock::now() - start);
    result.fileSize = static_cast<std::size_t>(QFileInfo(path).size());
    return result;
}

double mbPerSecond(const Result& r) { return r.seconds > 0 ? r.fileSize / r.seconds / 1e6 : 0; }

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::size_t mib = argc > 1 ? std::stoul(argv[1]) : 200;
    const int rounds = argc > 2 ? std::stoi(argv[2]) : 3;
    QTemporaryDir dir;
    Result bestClient, bestNc;
    bool complete = true;
    for (int round = 0; round < rounds; ++round) {
        const QString ncPath = dir.filePath(QString("nc%1.bin").arg(round));
        const QString clientPath = dir.filePath(QString("client%1.bin").arg(round));
        const Result nc = receiveWithNc(ncPath, mib);
        const Result client = receiveWithClient(clientPath, mib);
        complete = complete && nc.fileSize == mib * kBlock && client.fileSize == mib * kBlock;
        if (bestNc.seconds == 0 || nc.seconds < bestNc.seconds) bestNc = nc;
        if (bestClient.seconds == 0 || client.seconds < bestClient.seconds) bestClient = client;
        QFile::remove(ncPath);
        QFile::remove(clientPath);
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("stream: %zu MiB over loopback, best of %d rounds\n", mib, rounds);
    std::printf("nc -l > file:         %8.0f MB/s\n", mbPerSecond(bestNc));
    std::printf("TcpClient + appends:  %8.0f MB/s  (%zu arrivals, largest %zu bytes)\n",
                mbPerSecond(bestClient), bestClient.arrivals, bestClient.peakArrival);
    std::printf("ratio client / nc:    %8.2f  (target 0.80)\n",
                mbPerSecond(bestNc) > 0 ? mbPerSecond(bestClient) / mbPerSecond(bestNc) : 0.0);
    std::printf("peak RSS:             %8ld KiB\n", usage.ru_maxrss);
    if (!complete) {
        std::printf("INCOMPLETE: a received file is not %zu bytes\n", mib * kBlock);
        return 1;
    }
    return 0;
}
