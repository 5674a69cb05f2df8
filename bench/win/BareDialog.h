// Identifiers of the bare dialog, shared by its template and the figures probe that watches it.
#ifndef BRISALUNE_BENCH_BARE_DIALOG_H
#define BRISALUNE_BENCH_BARE_DIALOG_H

#define IDD_BARE 100
#define IDC_BARE_LIST 1001

#endif
