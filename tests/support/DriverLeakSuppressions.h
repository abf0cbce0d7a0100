#pragma once

// Leaks of the ODBC drivers themselves, which LeakSanitizer is told to pass over. Include in one
// source file of a test executable that opens databases through those drivers.
#if defined(__SANITIZE_ADDRESS__)
// Connected through a data source, the SQLite driver reads the source's keys through the driver
// manager's installer library and never frees what that hands back. Those allocations are made
// beneath SQLDriverConnect, where no code of ours runs; the whole stack is unwound so that the
// suppression can see that frame past the libraries the driver has already unloaded.
// The MDBTools driver never frees a WHERE clause's evaluated literal (mdb_sql_eval_expr).
extern "C" const char* __lsan_default_suppressions() {
    return "leak:SQLDriverConnect\n"
           "leak:mdb_sql_eval_expr\n";
}
extern "C" const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
#endif
