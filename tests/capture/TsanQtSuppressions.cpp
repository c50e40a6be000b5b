// ThreadSanitizer cannot see inside Qt's own mutexes. When a QThread has already finished by the time
// wait() is called, wait() returns without touching the thread's wait condition, and deleting the QThread
// then destroys a condition variable the finished thread last broadcast on under a Qt mutex: ordered in
// fact, invisible to the sanitizer. Only that destruction inside Qt is excused; our own code synchronises
// with std primitives the sanitizer sees.
extern "C" const char *__tsan_default_suppressions() {
    return "race:QWaitCondition::~QWaitCondition\n";
}
