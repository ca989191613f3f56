// Runs a fuzz target over files and folders of inputs, once each, where there is no
// libFuzzer to drive it: the test suite checks every target's properties on its seeds.
// Options (arguments that start with '-') are libFuzzer's, and ignored here.

#include <QByteArray>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <cstdio>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

QByteArray current; // the input being run, named when a property breaks

void nameTheInput(int)
{
    const char said[] = "broken by the input ";
    (void)!write(STDERR_FILENO, said, sizeof said - 1);
    (void)!write(STDERR_FILENO, current.constData(), current.size());
    (void)!write(STDERR_FILENO, "\n", 1);
    std::signal(SIGABRT, SIG_DFL);
    std::raise(SIGABRT);
}

void run(const QString &path)
{
    current = QFile::encodeName(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        std::exit(1);
    }
    const QByteArray input = file.readAll();
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(input.constData()), size_t(input.size()));
}

} // namespace

int main(int argc, char **argv)
{
    std::signal(SIGABRT, nameTheInput);
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument.startsWith(u'-'))
            continue;
        if (!QFileInfo(argument).isDir()) {
            run(argument);
            ++inputs;
            continue;
        }
        QDirIterator files(argument, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            run(files.next());
            ++inputs;
        }
    }
    std::printf("%d inputs, every property held\n", inputs);
    return inputs > 0 ? 0 : 1;
}
