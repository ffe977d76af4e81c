// Linked into every program of the sanitizer build, so that a sanitized
// program behaves the same whoever starts it (ctest, a test script, a
// developer's shell): any report ends it with a failing status. Options set
// in the environment are read after these and win.
extern "C" {

const char* __asan_default_options()
{
    return "detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1";
}

const char* __ubsan_default_options()
{
    return "print_stacktrace=1:halt_on_error=1";
}

const char* __lsan_default_options()
{
    return "suppressions=" TARKO_LSAN_SUPPRESSIONS ":print_suppressions=0";
}

} // extern "C"
