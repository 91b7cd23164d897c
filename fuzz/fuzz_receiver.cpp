// The receiver fed arbitrary byte chunks. The first bytes choose the request outstanding;
// the rest is cut into chunks, each delivered as one notification.
#include <QCoreApplication>

#include <cstddef>
#include <cstdint>

#include "link/DrivePort.h"
#include "link/DriveSession.h"
#include "link/MessageService.h"
#include "link/Receiver.h"

using namespace velmora;

namespace {

class NullPort : public DrivePort {
public:
    void applySettings(const PortSettings &) override {}
    bool open() override { return true; }
    void close() override {}
    bool isOpen() const override { return true; }
    QString errorString() const override { return {}; }
    QString portName() const override { return {}; }
    qint64 bytesWaiting() const override { return 0; }
    QByteArray readAll() override { return {}; }
    void send(const quint8 *, int) override {}
    void discardInput() override {}
    void discardOutput() override {}
};

QCoreApplication *app()
{
    static int argc = 1;
    static char name[] = "fuzz_receiver";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *instance = new QCoreApplication(argc, argv);
    return instance;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    app();
    if (size < 4)
        return 0;
    NullPort port;
    RecordingMessageService messages;
    DriveSession session(&port, &messages);
    TThread_Receive receiver(session);
    int offLine = 0;
    session.setOffLineAction([&offLine] { ++offLine; });

    // The request outstanding: a read of data[1] registers at data[2] (26 alone decodes
    // I/O bits), or a write, a write-several or a command.
    const uint8_t kinds[] = {FrameRead, FrameWriteOne, FrameWriteSeveral, FrameInputControl};
    session.req.stationNumber = 1;
    session.req.startRegister = data[2];
    session.req.readCount = uint16_t(data[1] % 60);
    session.req.writeCount = uint16_t(data[1] % 60);
    session.buildAndSend(kinds[data[0] % 4]);

    size_t at = 3;
    while (at < size) {
        const size_t chunk = 1 + data[at] % 32;
        ++at;
        const size_t n = std::min(chunk, size - at);
        receiver.feed(QByteArray(reinterpret_cast<const char *>(data + at), int(n)));
        at += n;
        // Each chunk may complete a reply; expect the next one as a new request would.
        if (session.replyEvent.consumeIfSignalled())
            session.buildAndSend(kinds[data[at % size] % 4]);
    }
    QCoreApplication::sendPostedEvents();
    return 0;
}
