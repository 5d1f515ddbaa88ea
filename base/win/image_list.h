// The owner of an image list (ImageList_Create), destroyed when it goes. Kept
// apart from handles.h so that only its users include the common controls.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "base/win/handles.h"

namespace mrwd {

inline void DestroyImageList(HIMAGELIST images) { ::ImageList_Destroy(images); }

// Not for a list that a control was told to destroy itself (a list view
// without LVS_SHAREIMAGELISTS).
using UniqueImageList = UniqueResource<NullIsNoneTraits<HIMAGELIST, DestroyImageList>>;

}  // namespace mrwd
