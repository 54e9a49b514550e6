/* Force-included into every file of a release build (VARNOK_GLIBC_2_28).
 *
 * The release plug-in must load on glibc 2.28, the VFX Reference Platform's
 * (Rocky/Alma 8). glibc 2.29 gave these math functions new symbol versions
 * that only drop the old SVID error handling; the old versions are still in
 * every later glibc and compute the same values with the same code. Binding
 * to them keeps a build made on a newer glibc loadable there. scripts/
 * build-release.sh checks the result with objdump and fails on anything newer
 * than GLIBC_2.28, so a function missing here shows up at once. */
#if defined(__linux__) && defined(__x86_64__)
__asm__(".symver exp,exp@GLIBC_2.2.5");
__asm__(".symver exp2,exp2@GLIBC_2.2.5");
__asm__(".symver log,log@GLIBC_2.2.5");
__asm__(".symver log2,log2@GLIBC_2.2.5");
__asm__(".symver pow,pow@GLIBC_2.2.5");
#endif
