// Our file of remembered certificates is outside input: a damaged or foreign line never stands
// for a server, and remembering one server leaves every other line as it was.
#include "support/TempDir.h"
#include "trust/PeerIdentity.h"

#include <QFileInfo>
#include <gtest/gtest.h>

namespace velmar::test {
namespace {

const QByteArray kA(64, 'a');
const QByteArray kB(64, 'b');

// Which mistakes: a line of another port or a host that merely starts alike taken for ours,
// a malformed pin accepted (short, upper case, trailing junk), an older line winning over a
// newer one, a new line added beside the old one instead of replacing it, others' lines lost.
TEST(TrustStore, RememberedCertificatesAreReadDefensivelyAndReplacedInPlace) {
    TempDir dir;
    const QString file = dir.file("trusted-certificates");
    dir.write("trusted-certificates",
              "example.org 2 " + kA + "\n"          // another port
              "ample.org 21 " + kA + "\n"           // the end of another name
              "example.org 21 " + kA.left(63) + "\n" // too short
              "example.org 21 " + kA.toUpper() + "\n"
              "example.org 21 " + kA + " junk\n"
              "garbage without fields\n");
    EXPECT_FALSE(trust::RememberedCertificate(file, "example.org", 21).has_value());
    EXPECT_EQ(trust::RememberedCertificate(file, "example.org", 2), kA);
    ASSERT_TRUE(trust::RememberCertificate(file, "example.org", 21, kB));
    ASSERT_TRUE(trust::RememberCertificate(file, "example.org", 21, kA));
    EXPECT_EQ(trust::RememberedCertificate(file, "example.org", 21), kA);
    EXPECT_EQ(ReadAll(file).count("example.org 21 "), 1);
    EXPECT_EQ(trust::RememberedCertificate(file, "ample.org", 21), kA);
    EXPECT_FALSE(trust::RememberCertificate(file, "two words", 21, kA));
    EXPECT_FALSE(trust::RememberCertificate(file, "example.org", 21, "not a pin"));
    // A new file is private from the start.
    const QString fresh = dir.file("new/trusted-certificates");
    ASSERT_TRUE(trust::RememberCertificate(fresh, "h", 990, kB));
    EXPECT_EQ(QFileInfo(fresh).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
              0);
}

} // namespace
} // namespace velmar::test
