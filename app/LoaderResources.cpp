#include "app/LoaderResources.h"

#include <QtGlobal>

void LoadTapewiseResources() {
    static const bool loaded = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    (void)loaded;
}
