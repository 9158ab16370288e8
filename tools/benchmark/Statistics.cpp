#include "Benchmark.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>

namespace zarvo::benchmark
{
double median (std::vector<double> samples)
{
    const auto n = samples.size();
    if (n == 0)
        return 0;
    std::sort (samples.begin(), samples.end());
    return n % 2 == 1 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
}

namespace
{
// Three significant digits at least, never more than three decimals.
std::string number (double value)
{
    char text[32];
    const double magnitude = std::fabs (value);
    const int decimals = magnitude >= 100 ? 0 : (magnitude >= 10 ? 1 : (magnitude >= 1 ? 2 : 3));
    std::snprintf (text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string padded (const std::string& text, size_t width, bool right = false)
{
    // Widths count characters, not bytes: the texts here are ASCII but for the odd symbol.
    size_t characters = 0;
    for (const unsigned char c : text)
        characters += (c & 0xC0) != 0x80 ? 1 : 0;
    const std::string fill (characters < width ? width - characters : 0, ' ');
    return right ? fill + text : text + fill;
}

constexpr size_t measureWidth = 68;
} // namespace

void Table::add (std::string figure, std::string measure, std::string unit, std::vector<double> samples,
                 std::string goal, std::string note)
{
    Row row{ std::move (figure),  std::move (measure), std::move (unit),
             std::move (samples), std::move (goal),    std::move (note) };
    if (row.samples.empty())
    {
        fail (row.figure, row.measure, "no sample");
        return;
    }
    std::cerr << "benchmark: [" << row.figure << "] " << row.measure << ": median " << number (median (row.samples))
              << " " << row.unit << " (" << row.samples.size() << " samples)" << std::endl;
    rows.push_back (std::move (row));
}

void Table::fail (const std::string& figure, const std::string& measure, const std::string& why)
{
    std::cerr << "benchmark: [" << figure << "] " << measure << ": not measured: " << why << std::endl;
    rows.push_back ({ figure, measure, "", {}, "", "not measured: " + why });
}

void Table::print() const
{
    const std::string header = padded ("fig", 4) + padded ("measure", measureWidth) + padded ("n", 5, true) +
                               padded ("min", 10, true) + padded ("median", 10, true) + padded ("max", 10, true) +
                               "  " + padded ("unit", 10) + "goal";
    std::cout << header << "\n" << std::string (header.size() + 8, '-') << "\n";
    std::vector<std::string> notes;
    for (const auto& row : rows)
    {
        std::string line = padded (row.figure, 4) + padded (row.measure, measureWidth);
        if (row.samples.empty())
            line += "   (not measured)";
        else
        {
            const auto [low, high] = std::minmax_element (row.samples.begin(), row.samples.end());
            line += padded (std::to_string (row.samples.size()), 5, true) + padded (number (*low), 10, true) +
                    padded (number (median (row.samples)), 10, true) + padded (number (*high), 10, true) + "  " +
                    padded (row.unit, 10) + row.goal;
        }
        std::cout << line << "\n";
        if (!row.note.empty())
            notes.push_back ("[" + row.figure + "] " + row.measure + ": " + row.note);
    }
    if (!notes.empty())
    {
        std::cout << "\nNotes:\n";
        for (const auto& note : notes)
            std::cout << "  " << note << "\n";
    }
    std::cout << std::flush;
}
} // namespace zarvo::benchmark
