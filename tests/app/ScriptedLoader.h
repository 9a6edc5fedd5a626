#pragma once

#include <QApplication>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "app/LoaderDlg.h"
#include "tests/capture/ScriptedSoundLayer.h"

// A main window on a scripted sound layer: the test fills the queued buffers and the window takes
// them as it would take them from the sound input.
class CScriptedLoader {
public:
    ScriptedSoundLayer layer;
    std::vector<WaveHeader*> filled;  // delivered, not yet taken by the window

    // A fresh layer and a started window, or null when its start-up failed.
    std::unique_ptr<CLoaderDlg> MakeLoader() {
        layer = ScriptedSoundLayer{};
        filled.clear();
        auto loader = std::make_unique<CLoaderDlg>(layer, [this]() -> WaveHeader* {
            if (filled.empty()) {
                return nullptr;
            }
            WaveHeader* header = filled.front();
            filled.erase(filled.begin());
            return header;
        });
        if (!loader->OnInitDialog()) {
            return nullptr;
        }
        return loader;
    }

    // Plays samples into the window buffer by buffer, as the sound input would deliver them.
    void Play(CLoaderDlg& loader, const std::vector<uint8_t>& samples) {
        size_t at = 0;
        while (at < samples.size()) {
            WaveHeader* header = layer.queued.front();
            const size_t count = std::min<size_t>(header->bufferLength, samples.size() - at);
            layer.Fill(static_cast<uint32_t>(count));
            std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(at), count, header->data);
            at += count;
            filled.push_back(header);
            loader.OnFilledBuffers();
        }
    }
};

// Answers the next modal dialog with `act` as soon as it is up.
inline void WhenModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act] {
        QTRY_VERIFY(QApplication::activeModalWidget() != nullptr);
        act(QApplication::activeModalWidget());
    });
}
