#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

#include "sdk/grab/IBufferFactory.h"

// A buffer factory for the instant camera's tests: hands out heap blocks, numbers them (the
// context is the block's number, from 1), checks that each block comes back once with its own
// context, and counts allocations, frees and the camera's DestroyBufferFactory calls. Blocks
// still out are freed with the factory.
//
// Threading: none of its own. The camera allocates while it starts grabbing and frees from the
// thread that releases a result; the tests read the counts after that.
class CountingBufferFactory : public sdk::IBufferFactory {
  public:
    CountingBufferFactory() = default;
    CountingBufferFactory(const CountingBufferFactory&) = delete;
    CountingBufferFactory& operator=(const CountingBufferFactory&) = delete;
    ~CountingBufferFactory() override;

    void AllocateBuffer(size_t size, void** buffer, intptr_t& context) override;
    void FreeBuffer(void* buffer, intptr_t context) override;
    void DestroyBufferFactory() override { ++destroyed; }

    std::map<void*, intptr_t> live;  // blocks out, with their contexts
    intptr_t lastContext = 0;
    int allocated = 0;
    int freed = 0;
    int destroyed = 0;
};
