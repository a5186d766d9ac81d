// Replaced by the acquisition sources.
