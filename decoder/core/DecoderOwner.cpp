#include "decoder/core/DecoderOwner.h"

#include "decoder/core/RecordTexts.h"

void CDecoderOwner::Report(const DecoderRecord& record) {
    CRecordTexts::Write(record, *this);
}
