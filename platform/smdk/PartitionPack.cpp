#include "platform/smdk/PartitionPack.h"

#include "bytes/ByteWriter.h"
#include "platform/smdk/Klv.h"

namespace smdk {

void appendPartitionPack(std::vector<uint8_t> &out, const MXFPartitionDescription &pack) {
    UL key = keys::partitionPack;
    key[keys::partitionKindByte] = pack.kind;
    key[keys::partitionStatusByte] = pack.status;
    ByteWriter writer(out);
    appendKlvHeader(writer, key, 88 + 16 * pack.essenceContainers.size());
    writer.u16BE(majorVersion);
    writer.u16BE(minorVersion);
    writer.u32BE(kagSize);
    writer.u64BE(pack.thisPartition);
    writer.u64BE(pack.previousPartition);
    writer.u64BE(pack.footerPartition);
    writer.u64BE(pack.headerByteCount);
    writer.u64BE(pack.indexByteCount);
    writer.u32BE(pack.indexSid);
    writer.u64BE(pack.bodyOffset);
    writer.u32BE(pack.bodySid);
    writer.bytes(labels::op1a);
    writer.u32BE(uint32_t(pack.essenceContainers.size()));
    writer.u32BE(16);
    for (const UL &label : pack.essenceContainers)
        writer.bytes(label);
}

void appendPrimerPack(std::vector<uint8_t> &out, bool withUserComments) {
    std::vector<LocalTag> entries(tags::primer.begin(), tags::primer.end());
    if (withUserComments)
        entries.insert(entries.end(), tags::userCommentPrimer.begin(), tags::userCommentPrimer.end());
    ByteWriter writer(out);
    appendKlvHeader(writer, keys::primerPack, 8 + 18 * entries.size());
    writer.u32BE(uint32_t(entries.size()));
    writer.u32BE(18);
    for (const LocalTag &entry : entries) {
        writer.u16BE(entry.tag);
        writer.bytes(entry.ul);
    }
}

void appendRandomIndexPack(std::vector<uint8_t> &out, const std::vector<MXFPartitionEntry> &partitions) {
    const uint64_t valueLength = 12 * partitions.size() + 4;
    ByteWriter writer(out);
    appendKlvHeader(writer, keys::randomIndexPack, valueLength);
    for (const MXFPartitionEntry &partition : partitions) {
        writer.u32BE(partition.bodySid);
        writer.u64BE(partition.offset);
    }
    writer.u32BE(uint32_t(keySize + berLengthSize(valueLength) + valueLength));
}

} // namespace smdk
