// The game's eight resources (five bitmaps, three XM modules), embedded into
// the program at build time and found by number, as the original found them
// in its executable.
#pragma once

#include <cstddef>
#include <cstdint>

#include "resources/resource_ids.h" // ResourceId, from the table in resources/CMakeLists.txt

struct ResourceBytes {
    const uint8_t* data; // nullptr when the resource is absent
    size_t size;         // 0 when absent
};

// Looks up resource `id`; `type` is "BITMAP" or "XM". An unknown id, a wrong
// type or a resource that was not built in gives {nullptr, 0}.
ResourceBytes findResource(int id, const char* type);
