#pragma once
// What screen readers are told of the skinned controls that Qt would
// misdescribe: the picture panel is a picture, not a button; the link label a
// link that can be pressed.

namespace quorbin {

// Installs the descriptions once; the panel and the link label call it.
void InstallSkinAccessibility();

}  // namespace quorbin
