#include "imglib/lazy_library.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

// Entered from an entry's first call with the library in r10 and the slot
// index in r11, before the callee has seen its arguments: the argument
// registers (rax carries the vector count of a variadic call) are kept
// around the binder and the call goes on to the bound function.
asm(R"(
    .pushsection .text
    .p2align 4
    .globl ILLazyEnter
    .hidden ILLazyEnter
    .type ILLazyEnter, @function
ILLazyEnter:
    pushq %rbp
    movq %rsp, %rbp
    pushq %rdi
    pushq %rsi
    pushq %rdx
    pushq %rcx
    pushq %r8
    pushq %r9
    pushq %rax
    subq $136, %rsp
    movdqu %xmm0, 0(%rsp)
    movdqu %xmm1, 16(%rsp)
    movdqu %xmm2, 32(%rsp)
    movdqu %xmm3, 48(%rsp)
    movdqu %xmm4, 64(%rsp)
    movdqu %xmm5, 80(%rsp)
    movdqu %xmm6, 96(%rsp)
    movdqu %xmm7, 112(%rsp)
    movq %r10, %rdi
    movl %r11d, %esi
    call ILLazyBind
    movq %rax, %r11
    movdqu 0(%rsp), %xmm0
    movdqu 16(%rsp), %xmm1
    movdqu 32(%rsp), %xmm2
    movdqu 48(%rsp), %xmm3
    movdqu 64(%rsp), %xmm4
    movdqu 80(%rsp), %xmm5
    movdqu 96(%rsp), %xmm6
    movdqu 112(%rsp), %xmm7
    addq $136, %rsp
    popq %rax
    popq %r9
    popq %r8
    popq %rcx
    popq %rdx
    popq %rsi
    popq %rdi
    popq %rbp
    jmp *%r11
    .size ILLazyEnter, .-ILLazyEnter
    .popsection
)");

void* ILLazyBind(ILLazyLibrary* library, uint32_t index) {
    void* handle = library->handle.load(std::memory_order_acquire);
    if (!handle) {
        // Threads that race here get the same handle; the loader counts it.
        handle = dlopen(library->soname, RTLD_LAZY | RTLD_LOCAL);
        if (!handle) {
            std::fprintf(stderr, "ImgLib: %s\n", dlerror());
            std::abort();
        }
        library->handle.store(handle, std::memory_order_release);
    }
    void* function = dlsym(handle, library->names[index]);
    if (!function) {
        std::fprintf(stderr, "ImgLib: %s has no %s\n", library->soname, library->names[index]);
        std::abort();
    }
    __atomic_store_n(&library->slots[index], function, __ATOMIC_RELEASE);
    return function;
}
