// Replaced by the analysis routines.
