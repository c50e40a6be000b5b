// C4 ids and the xxh128 digest against values computed by other tools: the published C4 id of the empty
// string, ids from an independent SHA-512 and base-58 conversion, and xxhsum's own output.

#include "mhl/C4Id.h"
#include "verify/FileDigest.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {

// 1024 bytes: 0, 1, ... 255, four times.
QByteArray countingBytes() {
    QByteArray bytes;
    for (int k = 0; k < 1024; ++k)
        bytes.append(char(k % 256));
    return bytes;
}

QString xxh128Of(const QByteArray &bytes, qsizetype piece) {
    const auto digest = xxh128Digest();
    for (qsizetype at = 0; at < bytes.size(); at += piece)
        digest->update({reinterpret_cast<const uint8_t *>(bytes.constData()) + at,
                        size_t(std::min(piece, bytes.size() - at))});
    return digest->result().value_or(QString());
}

TEST(C4IdTest, MatchesPublishedAndIndependentlyComputedIds) {
    // The empty string's id as the C4 documentation publishes it.
    EXPECT_EQ(mhl::c4Id(QByteArray()),
              "c459dsjfscH38cYeXXYogktxf4Cd9ibshE3BHUo6a58hBXmRQdZrAkZzsWcbWtDg5oQstpDuni4Hirj75GEmTc1sFT");
    // The others from Python's hashlib and its own base-58 conversion.
    EXPECT_EQ(mhl::c4Id("foo"),
              "c45xZeXwMSpqXjpDumcHMA6mhoAmGHkUo7r9WmN2UgSEQzj9KjgseaQdkEJ11fGb5S1WEENcV3q8RFWwEeVpC7Fjk2");
    EXPECT_EQ(mhl::c4Id(countingBytes()),
              "c427trij8ZAmBykX1pCBSULVcDqNfxftJojNdk2ButkxNyTraMjVuRRaEu9x4BWxaTMcQnQfiXwC2pKeXFfxUM8xpK");
    // A SHA-512 small enough that its base-58 form has leading zero digits: padded with '1' to 88.
    const QString padded = mhl::c4Id("12372");
    EXPECT_EQ(padded,
              "c4111U2BfBULAzy6z3ef85YNPEnkBtPj35DpefGRnLKS2iKve5MEXUpbkhRxzkP6jFiAS9JxHrNt2Ch9CeW16GZ3zA");
    EXPECT_EQ(padded.size(), 90);
}

TEST(Xxh128Test, EqualsXxhsumInCanonicalHexWhateverTheFeeding) {
    // Printed by `xxhsum -H2`.
    EXPECT_EQ(xxh128Of(QByteArray(), 1), "99aa06d3014798d86001c324468d497f");
    EXPECT_EQ(xxh128Of("abc", 1), "06b05ab6733a618578af5f94892f3950");
    EXPECT_EQ(xxh128Of(countingBytes(), 7), "83885e853bb6640ca870f92984398d22");
    EXPECT_EQ(xxh128Of(countingBytes(), 1024), "83885e853bb6640ca870f92984398d22");

    const QString xxhsum = QStandardPaths::findExecutable("xxhsum");
    if (xxhsum.isEmpty())
        GTEST_SKIP() << "xxhsum is not installed: only the stored values were compared";
    QByteArray bytes(300001, Qt::Uninitialized);
    QRandomGenerator(20261207).fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    QProcess process;
    process.start(xxhsum, {"-H2", "-"});
    process.write(bytes);
    process.closeWriteChannel();
    ASSERT_TRUE(process.waitForFinished(30000));
    const QString printed = QString::fromLatin1(process.readAllStandardOutput()).section(' ', 0, 0);
    EXPECT_EQ(xxh128Of(bytes, 65536), printed);
    EXPECT_EQ(xxh128Of(bytes, 4093), printed);
}

} // namespace
