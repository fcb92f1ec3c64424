#include "CountingBufferFactory.h"

#include <gtest/gtest.h>

CountingBufferFactory::~CountingBufferFactory() {
    for (auto& block : live) {
        delete[] static_cast<uint8_t*>(block.first);
    }
}

void CountingBufferFactory::AllocateBuffer(size_t size, void** buffer, intptr_t& context) {
    *buffer = new uint8_t[size];
    context = ++lastContext;
    live[*buffer] = context;
    ++allocated;
}

void CountingBufferFactory::FreeBuffer(void* buffer, intptr_t context) {
    auto it = live.find(buffer);
    ASSERT_NE(it, live.end());
    EXPECT_EQ(it->second, context);
    delete[] static_cast<uint8_t*>(buffer);
    live.erase(it);
    ++freed;
}
