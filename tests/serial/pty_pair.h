#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace serial_test {

// A pseudo-terminal whose slave side plays the serial device under test;
// the test talks to it from the master side.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& slavePath() const { return m_slavePath; }
    int master() const { return m_master; }

    void send(const std::vector<uint8_t>& bytes) const;
    // Collects exactly count bytes or fails the calling test after waitMs.
    std::vector<uint8_t> receive(size_t count, int waitMs = 2000) const;
    // Hangs the line up: the slave side reads EIO / POLLHUP from now on.
    void closeMaster();

private:
    int m_master = -1;
    std::string m_slavePath;
};

// The line settings the slave carries, read through the master.
struct LineSettings {
    uint32_t inputSpeed;
    uint32_t outputSpeed;
    uint32_t cflag;
    uint32_t iflag;
};
LineSettings ReadLineSettings(int masterFd);

// A pty keeps the rate but forces 8 bits without parity, so the full
// settings are checked as handed to the driver: this records the last set.
void CaptureSettingsOnSet();
LineSettings CapturedSettings();

// Bit values of the line flags, for comparing with LineSettings::cflag.
struct LineFlags {
    uint32_t csize, cs5, cs6, cs7, cs8, cstopb, parenb, parodd, cmspar, crtscts, ixon, ixoff;
};
LineFlags LineFlagValues();

// Descriptors and threads of this process, from /proc/self.
int CountOpenDescriptors();
int CountThreads();
// A joined thread can still be listed for a moment while the kernel finishes
// its exit: true once the count is back at `count` (waits up to 5 s).
bool ThreadsSettleAt(int count);

}  // namespace serial_test
