// Keeps the core library non-empty while the driver's sources are being written.
namespace tsqlite { int placeholder_unit = 0; }
