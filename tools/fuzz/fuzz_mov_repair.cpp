// Feeds arbitrary bytes to the repair as the damaged file, with a healthy
// recording as the reference: the one named by HX_FUZZ_REFERENCE (written
// by scripts/fuzz-repair), and with the file's own index when it has one. The
// repair must end, stay inside the data and, when it recovers something,
// write a file whose index is whole.

#include "vw_mov_damage.h"
#include "vw_mov_reference.h"
#include "vw_mov_repair.h"

#include <QBuffer>
#include <QLoggingCategory>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
VwMovReference *reference = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    QLoggingCategory::setFilterRules(QStringLiteral("hx.data.info=false\nhx.data.debug=false"));
    reference = new VwMovReference;
    const char *path = std::getenv("HX_FUZZ_REFERENCE");
    if (!path || !reference->load(QString::fromLocal8Bit(path))) {
        std::fprintf(stderr, "fuzz_mov_repair: HX_FUZZ_REFERENCE must name a healthy recording\n");
        std::exit(1);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    QBuffer input(&bytes);
    input.open(QIODevice::ReadOnly);
    QBuffer output;
    output.open(QIODevice::ReadWrite);

    const VwMovRepair::Result result = VwMovRepair::repair(&input, *reference, &output);
    if (result.cutOffset > qint64(size) || result.bytesRead > 2 * qint64(size) + 65536)
        __builtin_trap();
    if (result.recovered()
        && VwMovDamage::inspect(&output).state != VwMovDamage::STATE_HEALTHY)
        __builtin_trap();

    // A file whose own index is whole is its own reference: its sample
    // descriptions, set-ups and tables come from the fuzzer too.
    VwMovReference own;
    if (own.load(&input)) {
        QBuffer copy;
        copy.open(QIODevice::ReadWrite);
        const VwMovRepair::Result ownResult = VwMovRepair::repair(&input, own, &copy);
        if (ownResult.cutOffset > qint64(size))
            __builtin_trap();
    }
    return 0;
}
