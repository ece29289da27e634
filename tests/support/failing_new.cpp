// Replaces every non-aligned form of the global operator new and delete, so that they
// allocate with malloc and free alike under any sanitizer.
#include "failing_new.h"

#include <cstdlib>
#include <new>

std::atomic<std::size_t> failAllocationsFrom{0};
thread_local std::size_t failAllocationsBelow = 0;

namespace {

void* allocate(std::size_t size) noexcept
{
    const std::size_t from = failAllocationsFrom.load(std::memory_order_relaxed);
    if ((from != 0 && size >= from) || size < failAllocationsBelow)
        return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}

} // namespace

void* operator new(std::size_t size)
{
    if (void* memory = allocate(size))
        return memory;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size)
{
    return operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return allocate(size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return allocate(size);
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory, std::size_t) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, const std::nothrow_t&) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory, const std::nothrow_t&) noexcept
{
    std::free(memory);
}
