/* Says whether this machine lets a program run 32-bit x86 code: the 32-bit product runs under
 * Wine's WoW64 mode only where it does. Some kernels (a virtual machine's among them) give user
 * programs no 32-bit code segment; a far return into one then faults at once.
 *   cc -no-pie -o probe scripts/probe-32bit-code.c && ./probe    (exit 0: it can) */
#define _GNU_SOURCE
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

static void Refused(int signal) {
    static const char kWords[] = "this machine runs no 32-bit code\n";
    (void)signal;
    if (write(1, kWords, sizeof kWords - 1) < 0) {
        _exit(1);
    }
    _exit(1);
}

int main(void) {
    signal(SIGSEGV, Refused);
    signal(SIGBUS, Refused);
    signal(SIGILL, Refused);
    /* Code and stack below 4 GiB, where 32-bit code can reach them; the program is not
     * position-independent, so the way back is too. */
    unsigned char* code = mmap(0, 4096, PROT_READ | PROT_WRITE | PROT_EXEC,
                               MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
    unsigned char* stack =
        mmap(0, 65536, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
    if (code == MAP_FAILED || stack == MAP_FAILED) {
        return 2;
    }
    code[0] = 0xCB; /* a 32-bit far return, to the 64-bit code segment below */
    unsigned long saved;
    __asm__ volatile(
        "mov %%rsp, %0\n"
        "mov %1, %%rsp\n"
        "lea 1f(%%rip), %%rax\n"
        "sub $8, %%rsp\n"
        "movl %%eax, (%%rsp)\n"
        "movl $0x33, 4(%%rsp)\n" /* the 64-bit user code segment */
        "pushq $0x23\n"          /* the 32-bit user code segment */
        "pushq %2\n"
        "lretq\n"
        "1:\n"
        "mov %0, %%rsp\n"
        : "=&r"(saved)
        : "r"(stack + 60000), "r"(code)
        : "rax", "memory");
    puts("this machine runs 32-bit code");
    return 0;
}
