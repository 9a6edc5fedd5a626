#pragma once

#include <string>
#include <vector>

// The file name patterns of the audio formats that libsndfile reads ("*.wav", "*.flac", ...), for
// the file dialogs; headerless raw audio is left out, since it cannot be told by its content.
std::vector<std::string> AudioFilePatterns();

// Whether the file is a regular file whose content libsndfile reads as audio, told by its header,
// whatever its name. Anything else (a FIFO, a device, a directory) is never opened, so this never
// waits for a writer.
bool IsAudioFile(const std::string& path);

// Whether the path names a regular file (following symlinks).
bool IsRegularFile(const std::string& path);
