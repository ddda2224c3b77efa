// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include <chrono>

// What one run of a tool may take of the machine. The limits are set in the tool's process
// before it starts, so a tool gone wild fails on its own instead of taking the machine with it.
struct ToolLimits
{
    // How memory is bounded: by the whole address space, or only by writable private memory,
    // for a tool that reserves far more address space than it uses.
    enum class Memory
    {
        addressSpace,
        data,
    };

    qint64 memoryBytes = 0; // 0: unbounded
    Memory memoryKind = Memory::addressSpace;
    std::chrono::seconds processorTime{0}; // 0: unbounded

    // The smaller of 2 GiB and half the machine's memory: a tool gets what a formatter needs
    // for any sensible file, and the user's other programs keep the rest.
    static qint64 defaultMemoryBytes();
    // Processor time as long as the run itself may last: a formatter works on one thread, so
    // only a tool that spins many threads reaches it first.
    static ToolLimits standard(std::chrono::milliseconds runTime);

    // "2 GiB", "1.5 GiB", "64 MiB": a size as a failure reason shows it.
    static QString sizeText(qint64 bytes);
};
