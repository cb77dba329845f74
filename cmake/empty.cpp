// Keeps a firmware target that has no sources yet buildable.
