#include "app/SavePlan.h"

#include <sys/stat.h>

#include "tape/TapeImageWriter.h"

namespace {

std::string FileName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Stretches(int32_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::optional<std::string> RefuseSavePath(const std::string& path,
                                          const SoundRecordingTest& isSoundRecording) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        return std::nullopt;  // a new file (or one the save itself will report)
    }
    if (!S_ISREG(status.st_mode)) {
        return FileName(path) +
               " is not a regular file (a pipe, a device or a folder); a tape image is saved "
               "only to a file. Nothing was saved.";
    }
    if (isSoundRecording(path)) {
        return FileName(path) +
               " is a sound recording; saving the tape image there would replace it. Nothing "
               "was saved: choose another name.";
    }
    return std::nullopt;
}

SavePlan PlanSave(const std::string& path, const std::vector<TapeItem>& blocks,
                  const SoundRecordingTest& isSoundRecording) {
    SavePlan plan;
    if (blocks.empty()) {
        plan.refusal = "The list holds no block to save; " + FileName(path) + " was not written.";
        return plan;
    }
    if ((plan.refusal = RefuseSavePath(path, isSoundRecording))) {
        return plan;
    }
    const UnkeptStretches unkept = CountUnkept(LayoutForPath(path), blocks);
    plan.blocksWritten = static_cast<int32_t>(blocks.size()) - unkept.dropped;
    if (unkept.dropped > 0 || unkept.untimed > 0) {
        std::string text = "A TAP image cannot keep everything in the list:";
        if (unkept.dropped > 0) {
            text += "\n- " +
                    Stretches(unkept.dropped, "stretch (tone, pulses, recording or pause) is",
                              "stretches (tones, pulses, recordings or pauses) are") +
                    " left out;";
        }
        if (unkept.untimed > 0) {
            text += "\n- " +
                    Stretches(unkept.untimed, "turbo or pure-data block loses its timing",
                              "turbo or pure-data blocks lose their timing") +
                    ";";
        }
        text += "\nA TZX image keeps them all. Save " +
                Stretches(plan.blocksWritten, "block", "blocks") + " as " + FileName(path) +
                " anyway?";
        plan.warning = text;
    }
    return plan;
}
