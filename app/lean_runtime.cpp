// The program is built without exceptions. Its allocations come straight from
// the C runtime's heap: the library's own operator new would bring the
// exception machinery (and the terminate handler that demangles names) along
// only to report a failure the program cannot recover from anyway.
#include <cstdlib>
#include <new>

void* operator new(std::size_t size) {
    if (void* memory = std::malloc(size ? size : 1)) {
        return memory;
    }
    std::abort();
}

void* operator new[](std::size_t size) { return operator new(size); }

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

// A pure virtual function called during construction or destruction: the
// library's own handler would bring the demangling terminate handler along.
extern "C" void __cxa_pure_virtual() { std::abort(); }
