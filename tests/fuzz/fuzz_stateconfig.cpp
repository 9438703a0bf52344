// Arbitrary definitions files: a refused one leaves the tables unchanged, an accepted one decodes.
#include <QtGlobal>

#include <tuple>

#include "fuzz_abort.h"
#include "stateconfig.h"

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

const QByteArray kKnown =
    "QJ30:\n  error_word:\n    1<<0: over current\n  state_word:\n    1<<3: fault\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    [[maybe_unused]] static const bool silenced = (qInstallMessageHandler(quiet), true);

    StateConfig config;
    if (!config.loadData(kKnown))
        abortWith("the known file was refused");
    const auto tables = [&config] {
        return std::tuple(config.stateWords(), config.errorWords(), config.drvErrorWords(),
                          config.warnings());
    };
    const auto before = tables();
    if (!config.loadData(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)))) {
        if (tables() != before)
            abortWith("a refused file changed the tables");
        return 0;
    }
    QStringList texts;
    for (const QString& product : config.errorWords().keys()) {
        config.decodeErrorWord(product, ~uint64_t{0}, texts);
        if (texts.isEmpty())
            abortWith("a known word decoded to nothing");
    }
    for (const QString& product : config.drvErrorWords().keys())
        config.decodeDrvErrorWord(product, 0x8000000000000001u, texts);
    return 0;
}
