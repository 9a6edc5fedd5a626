#pragma once

#include <string>

#include "decoder/core/DecoderRecord.h"

class CDecoderOwner;

// The one place where the decoders' records become the texts and rows of the desktop program and
// the command line: status texts, console log lines, debug lines, block and error rows and error
// snapshots, through the owner's calls, in the order a user has always seen them.
class CRecordTexts {
public:
    static void Write(const DecoderRecord& record, CDecoderOwner& owner);

    // The console log line of a block that archive mode kept.
    static std::string StretchLine(const BlockBody& block, bool romTimed);

private:
    static void WriteBlock(const record::BlockLoaded& loaded, CDecoderOwner& owner);
    static void WriteScene(const record::ErrorScene& scene, CDecoderOwner& owner);
    static void WriteIntervals(const std::vector<int64_t>& times, CDecoderOwner& owner);
    static void WriteReadError(const record::ReadError& error, CDecoderOwner& owner);
    static void WriteDumpNote(const record::DumpNote& note, CDecoderOwner& owner);
    static void WriteStretch(const record::StretchKept& kept, CDecoderOwner& owner);
    static std::string MendedLine(const BlockVerdict& verdict, int32_t length);
};
