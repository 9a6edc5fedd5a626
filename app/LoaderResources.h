#pragma once

// Makes the compiled-in icons (res/icons.qrc) available as ":/icons/<id>.svg"; the resources live
// in a static library, whose initialiser the linker would otherwise drop. Safe to call repeatedly.
void LoadTapewiseResources();
