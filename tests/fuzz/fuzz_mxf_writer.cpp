// Fuzzes the MXF library with clips of any shape: the input chooses the edit rate (valid or not), the sound
// channel count, the frame count, data items, scan, drop frame and whether the file is finished, and the
// sizes of every picture, sound and data element. Writing either fails with util::assertion_failure or
// gives a file of whole KLV items whose partition packs all name the footer (when finished) and whose
// Random Index Pack ends the file.

#include "mxf/SMDKFooterPartitionOffsetRewriter.h"
#include "tests/support/ClipSource.h"
#include "tests/support/MxfFileReader.h"

#include <array>
#include <cstdlib>
#include <sstream>

namespace {

constexpr std::array<SMDKRational, 8> rates{
    {{25, 1}, {30000, 1001}, {60000, 1001}, {24, 1}, {0, 1}, {25, 0}, {-25, 1}, {7, 3}}};

// Takes bytes off the front of the input; zero once it is used up.
struct Input {
    const uint8_t *data;
    size_t size;
    uint8_t next() {
        if (size == 0)
            return 0;
        --size;
        return *data++;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Input input{data, size};
    auto metadata = boost::make_shared<ClipMetadata>();
    metadata->rate = rates[input.next() % rates.size()];
    metadata->channels = int8_t(input.next()) % 20;
    const int frames = input.next() % 16;
    const uint8_t flags = input.next();
    metadata->progressive = flags & 1;
    metadata->dropFrame = flags & 2;
    metadata->frames = (flags & 4) ? frames : -1;
    const bool finish = flags & 8;
    metadata->name = std::u16string(input.next(), u'n');

    static const std::vector<uint8_t> pool(4096, 0x5A);
    auto stream = boost::make_shared<std::stringstream>();
    try {
        auto source = boost::make_shared<ClipSource>(metadata);
        auto writer = createSMDKWriter(stream);
        auto driver = createSMDKDriver(source);
        driver->attachWriter(boost::make_shared<SMDKFooterPartitionOffsetRewriter>(stream, writer));
        for (int i = 0; i < frames; ++i) {
            std::vector<std::span<const uint8_t>> sound;
            for (int32_t k = 0; k < metadata->channels; ++k)
                sound.emplace_back(pool.data(), input.next() * 16u);
            source->setEditUnit(std::span(pool.data(), input.next() * 16u), sound,
                                std::span(pool.data(), input.next()), {0x81, uint8_t(i)});
            driver->processFrame();
        }
        if (finish)
            driver->finish();
    } catch (const util::assertion_failure &) {
        return 0;
    }

    const std::string text = stream->str();
    const std::vector<uint8_t> file(text.begin(), text.end());
    const auto items = mxftest::splitKlv(file);
    if (!items)
        std::abort();
    if (!finish || items->empty())
        return 0;
    uint64_t footer = 0;
    for (const mxftest::Klv &klv : *items)
        if (mxftest::isPartitionPack(klv.key) && klv.key[13] == 0x04)
            footer = klv.offset;
    for (const mxftest::Klv &klv : *items)
        if (mxftest::isPartitionPack(klv.key) && mxftest::u64At(file, klv.offset + 44) != footer)
            std::abort();
    if (items->back().key[13] != 0x11)
        std::abort();
    return 0;
}
