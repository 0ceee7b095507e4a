#pragma once

#include <QImage>

#include "ui/dialogs/pictureex.h"

// What the picture control would paint, read without a paint event; friend
// of CPictureEx.
class CPictureExTestPeer {
public:
    static QImage Snapshot(const CPictureEx& picture) { return picture.Snapshot(); }
};
