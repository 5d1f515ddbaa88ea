#include "raster_resource.h"

namespace mrwd {

int LoadGif(CRasterSet& set, HMODULE module, const char* typeName, int id) {
    set.Clear();
    // Resource memory belongs to the module and needs no freeing.
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(id), typeName);
    if (found == nullptr) return 0;
    const DWORD size = ::SizeofResource(module, found);
    HGLOBAL loaded = ::LoadResource(module, found);
    if (size == 0 || loaded == nullptr) return 0;
    const void* bytes = ::LockResource(loaded);
    if (bytes == nullptr) return 0;
    return set.LoadGif(static_cast<const std::uint8_t*>(bytes), size);
}

}  // namespace mrwd
