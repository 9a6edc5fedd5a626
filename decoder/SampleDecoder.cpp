#include "decoder/SampleDecoder.h"

#include "decoder/archive/ArchiveDecoder.h"
#include "decoder/core/PlainDecoder.h"
#include "decoder/robust/RobustDecoder.h"

std::unique_ptr<CSampleDecoder> CSampleDecoder::Create(CDecoderOwner* owner,
                                                       const DecoderSettings& settings,
                                                       int32_t sampleRate) {
    std::unique_ptr<CSampleDecoder> decoder;
    if (settings.archive) {
        decoder = std::make_unique<CArchiveDecoder>(owner, sampleRate);
    } else if (settings.robust) {
        decoder = std::make_unique<CRobustDecoder>(owner);
    } else {
        decoder = std::make_unique<CPlainDecoder>(owner);
    }
    decoder->Settings() = settings;
    return decoder;
}
