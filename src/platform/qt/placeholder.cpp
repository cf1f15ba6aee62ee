// The Qt platform layer is being written.
namespace tolvane::platform::qt {}
