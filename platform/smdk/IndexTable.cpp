#include "platform/smdk/IndexTable.h"

#include "bytes/ByteWriter.h"
#include "platform/smdk/InstanceUids.h"
#include "platform/smdk/Labels.h"
#include "platform/smdk/LocalSet.h"

#include <algorithm>

namespace smdk {

void appendIndexTable(std::vector<uint8_t> &out, SMDKRational editRate,
                      const std::vector<uint64_t> &streamOffsets, uint32_t indexSid, uint32_t bodySid) {
    std::vector<uint8_t> entries;
    for (size_t start = 0; start < streamOffsets.size(); start += maximumEntriesPerSegment) {
        const size_t count = std::min(maximumEntriesPerSegment, streamOffsets.size() - start);
        entries.clear();
        ByteWriter writer(entries);
        for (size_t i = start; i < start + count; ++i) {
            writer.u8(0); // temporal offset
            writer.u8(0); // key frame offset
            writer.u8(randomAccessFlag);
            writer.u64BE(streamOffsets[i]);
        }
        LocalSet(keys::indexTableSegment)
            .label(tags::instanceUid, randomUuid())
            .rational(tags::indexEditRate, editRate)
            .i64(tags::indexStartPosition, int64_t(start))
            .i64(tags::indexDuration, int64_t(count))
            .u32(tags::editUnitByteCount, 0)
            .u32(tags::indexSid, indexSid)
            .u32(tags::bodySid, bodySid)
            .u8(tags::sliceCount, 0)
            .u8(tags::posTableCount, 0)
            .array(tags::indexEntryArray, uint32_t(count), indexEntrySize, entries)
            .appendTo(out);
    }
}

} // namespace smdk
