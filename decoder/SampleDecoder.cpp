#include "decoder/SampleDecoder.h"

#include "decoder/archive/ArchiveDecoder.h"
#include "decoder/core/PlainDecoder.h"
#include "decoder/robust/RobustDecoder.h"

std::unique_ptr<CSampleDecoder> CSampleDecoder::Create(CDecoderOwner* owner,
                                                       const DecoderSettings& settings,
                                                       int32_t sampleRate) {
    switch (settings.mode) {
        case DecoderMode::Plain:
            return std::make_unique<CPlainDecoder>(owner, settings);
        case DecoderMode::Robust:
            return std::make_unique<CRobustDecoder>(owner, settings);
        case DecoderMode::Archive:
            break;
    }
    return std::make_unique<CArchiveDecoder>(owner, sampleRate, settings);
}

void CSampleDecoder::Apply(std::unique_ptr<CSampleDecoder>& decoder, CDecoderOwner* owner,
                           const DecoderSettings& settings, const DumpSettings& dump,
                           int32_t sampleRate) {
    if (decoder == nullptr || decoder->Settings().mode != settings.mode) {
        std::unique_ptr<CSampleDecoder> next = Create(owner, settings, sampleRate);
        if (decoder != nullptr) {
            next->ConfigureDump(decoder->DumpNow());
        }
        decoder = std::move(next);
    } else {
        decoder->Reconfigure(settings);
    }
    decoder->ConfigureDump(dump);
}

DecoderSettings CSampleDecoder::SettingsNow() const {
    DecoderSettings now = Settings();
    static_cast<PulseLimits&>(now) = Limits();
    return now;
}
