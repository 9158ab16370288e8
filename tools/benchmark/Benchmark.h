// What the benchmark measures, and how its sections hand their figures to the table.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace zarvo::benchmark
{
using Clock = std::chrono::steady_clock;

inline double millisecondsBetween (Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli> (to - from).count();
}

// The middle sample, or the mean of the two middle ones; 0 for none.
double median (std::vector<double> samples);

// How often each measurement is repeated, and which sections run.
struct Options
{
    // In the benchmark's own process.
    int paints = 200;             // paints of each kind
    int transferRounds = 20;      // rounds of timed transfers, ours and bare in turn
    int transfersPerRound = 500;  // transfers of each kind in a round
    int callgrindTransfers = 500; // N: each count runs N and 2N transfers
    int callgrindRepeats = 3;
    // The real application.
    int starts = 10;           // sessions that measure the start and a first drag
    int drags = 20;            // drags in the long session
    int idleWindows = 5;       // windows of each idle phase
    double windowSeconds = 10; // length of one window
    int lockWaitMinutes = 30;  // how long to wait while another copy of the app runs

    bool inProcess = true;
    bool callgrind = true;
    bool realApp = true;
};

// One line of the table: a figure's samples and what they are measured against.
struct Row
{
    std::string figure;  // "1" to "6"
    std::string measure; // what the samples are
    std::string unit;
    std::vector<double> samples;
    std::string goal; // empty: none
    std::string note; // printed under the table
};

class Table
{
public:
    // Adds a row and says so on standard error, so that a long run shows its progress.
    void add (std::string figure, std::string measure, std::string unit, std::vector<double> samples,
              std::string goal = {}, std::string note = {});
    // A row that could not be measured, with the reason.
    void fail (const std::string& figure, const std::string& measure, const std::string& why);
    void print() const;

private:
    std::vector<Row> rows;
};

// The sections. Each adds its rows to the table; none throws.
void measurePaint (const Options& options, Table& table);
void measureTransfers (const Options& options, Table& table);
void countTransferInstructions (const Options& options, Table& table, const std::string& self);
void measureRealApp (const Options& options, Table& table);

// The benchmark under callgrind: `kind` is "ours" or "bare"; returns the exit code.
int runTransfersForCallgrind (const std::string& kind, int transfers);

// What the machine is: CPU model, kernel, X server, compiler.
std::vector<std::string> describeMachine();
} // namespace zarvo::benchmark
