"""Stand-in for the storage server's web interface (see README.md)."""
