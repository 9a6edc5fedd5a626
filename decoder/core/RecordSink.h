#pragma once

#include "decoder/core/DecoderRecord.h"

// Where a decoder's records go: an owner that shows them (CDecoderOwner), or a mode that judges
// and orders them first (robust mode's recorders, archive mode's inbox).
class CRecordSink {
public:
    virtual ~CRecordSink() = default;
    virtual void Report(const DecoderRecord& record) = 0;
};
