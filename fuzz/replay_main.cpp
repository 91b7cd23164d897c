// Runs a fuzz target over the files or folders named on the command line, without libFuzzer,
// so the corpus is replayed by every ordinary build.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv)
{
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        QStringList files;
        const QFileInfo info(QString::fromLocal8Bit(argv[i]));
        if (info.isDir()) {
            for (const QFileInfo &f : QDir(info.filePath()).entryInfoList(QDir::Files, QDir::Name))
                files << f.filePath();
        } else {
            files << info.filePath();
        }
        for (const QString &path : files) {
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly))
                continue;
            const QByteArray bytes = f.readAll();
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
            ++count;
        }
    }
    std::printf("%d passed, 0 failed\n", count);
    return 0;
}
