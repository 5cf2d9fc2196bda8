#pragma once

// Registers the picture file types with the loader, at the screen's depth. Once, at
// start-up, before any picture is loaded; needs the application object.
void RegisterPictureTypes();
void UnregisterPictureTypes();
