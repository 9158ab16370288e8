// The device model of the virtual KT-Q7TR: what the microphone keeps and answers, the failures a
// test can inject, and the record of every report it received. Thread-safe: the FUSE server calls it
// from its own thread while the test inspects and steers it.
#pragma once

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace zarvo::test
{
class MicrophoneModel
{
public:
    using Bytes = std::vector<unsigned char>;

    // Every parameter starts at its factory value; gain 2662, noise-reduction level -2000, depth 60,
    // time 70, everything else 0. The information reply carries "Q7TR", a space, "V1.2.0" and 0.
    MicrophoneModel();

    // ---- device state
    int parameter (unsigned char groupId, unsigned char index) const;
    void setParameter (unsigned char groupId, unsigned char index, int value);
    // The value of the 0x84 reply's bytes 8 and 9.
    void setInputLevel (unsigned int level);
    // model: 4 characters, firmware: 6 characters (longer texts are cut, shorter ones padded with 0),
    // with the separator byte between them.
    void setDeviceInfo (const std::string& model, const std::string& firmware, unsigned char separator = ' ');

    // 256-byte input and output reports without report ids: lengths of 257 and 257.
    static Bytes defaultReportDescriptor();
    void setReportDescriptor (Bytes descriptor);
    Bytes reportDescriptor() const;
    // Every descriptor request fails with this errno from now on (0: answers again).
    void failDescriptorRequests (int errorNumber);
    int descriptorFailure() const;

    // ---- failures of report transfers (output and input alike, counted from now; 1 = the next)
    void failTransfer (int nth = 1, int errorNumber = EIO);
    void completeEmpty (int nth = 1); // the n-th transfer completes with 0 bytes
    // The n-th transfer, an input transfer, completes with only the first `bytes` bytes of the reply.
    void completeShort (int nth, std::size_t bytes);
    // The n-th transfer, an input transfer, completes with a whole report of random bytes: those of
    // randomReport (seed, length). Like completeShort, it leaves an output transfer as it is.
    void replyRandom (int nth, std::uint32_t seed);
    // The bytes a random reply of that seed carries, the report id byte included: the same on every
    // machine (std::mt19937 is fixed by the standard).
    static Bytes randomReport (std::uint32_t seed, std::size_t length);
    // Every transfer waits this long before it is answered.
    void setAnswerDelay (std::chrono::milliseconds delay);

    // ---- presence, as a USB unplug and replug. A handle opened before vanish() stays dead after
    // comeBack(); only a fresh open reaches the device again.
    void vanish();
    // The device vanishes just before the n-th transfer (counted from now), between two transfers of
    // one operation: that transfer and every later one on the handles of the moment fail with
    // ENODEV, as after vanish().
    void vanishBefore (int nth);
    void comeBack();
    bool present() const;
    // The generation a handle opened now belongs to.
    unsigned long long openGeneration() const;
    bool reachable (unsigned long long generation) const;

    // ---- the record
    enum class Direction
    {
        output,
        input
    };
    struct Transfer
    {
        Direction direction;
        Bytes bytes; // the report received (output) or sent (input); empty for failed transfers
        int result;  // bytes moved, or -errno
        // When the request reached the device, on the steady clock: for measuring how soon
        // something reaches the wire.
        std::chrono::steady_clock::time_point receivedAt{};
    };
    // Every output report the device received, byte for byte, in order. Failed and empty transfers
    // did not reach it and are not among them.
    std::vector<Bytes> receivedReports() const;
    // Every output report that was refused with ENODEV because the device was unplugged or the
    // handle belongs to an earlier plug-in, byte for byte, in order: what a stale handle still sends.
    std::vector<Bytes> refusedReports() const;
    // Every report transfer that reached the device, in order, failures included.
    std::vector<Transfer> transfers() const;
    void clearRecord();

    // ---- the conversation, called by the server for a handle of the given generation
    struct Answer
    {
        int result = 0; // bytes moved, or -errno
        Bytes data;     // the input report (input transfers only)
        std::chrono::milliseconds delay{ 0 };
    };
    Answer receiveOutputReport (unsigned long long generation, const unsigned char* data, std::size_t length);
    Answer sendInputReport (unsigned long long generation, std::size_t length);

private:
    enum class Failure
    {
        none,
        error,
        empty,
        shortReport,
        random
    };
    struct Injected
    {
        Failure kind = Failure::none;
        int errorNumber = 0;
        std::size_t bytes = 0;  // shortReport only
        std::uint32_t seed = 0; // random only
    };

    Injected takeFailure(); // for the transfer being counted now
    void vanishIfDue();     // before a transfer is counted
    void vanishNow();
    bool startTransfer (Injected& failure, Answer& answer);
    void answerFrame (const Bytes& frame);
    Bytes groupReply (unsigned char groupId, int valueCount) const;

    mutable std::mutex lock;
    std::map<int, int> parameters; // (group << 8 | index) -> value
    unsigned int inputLevel = 0;
    std::string infoModel = "Q7TR";
    std::string infoFirmware = "V1.2.0";
    unsigned char infoSeparator = ' ';
    Bytes descriptor;
    int descriptorErrno = 0;

    long long transferCount = 0;
    std::map<long long, Injected> injected; // transfer number -> failure
    std::chrono::milliseconds delay{ 0 };

    bool isPresent = true;
    unsigned long long generation = 1;
    long long vanishBeforeTransfer = 0; // 0: none due

    Bytes currentReply; // the reply to the last query; every input report carries it
    std::vector<Bytes> received;
    std::vector<Bytes> refused;
    std::vector<Transfer> log;
};
} // namespace zarvo::test
