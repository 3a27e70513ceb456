#pragma once

// Every command a key runs. Each acts once per key press, and never while a
// mouse button is held.
enum class Command {
  None,
  ShowHelp,
  HideHelp,
  Home,
  Quit,
  Open,
  Save,
  SaveAs,
  ExportPicture,
  ExportPictureAs,
  Undo,
  Redo,
  Reset,
  Copy,
  Paste,
  PasteMirrored,
  // The camera only: no step, no setting.
  ViewFront,
  ViewBack,
  ViewRight,
  ViewLeft,
  ViewTop,
  ViewBottom,
  FitFigure,
  NarrowLens,
  WidenLens,
  // Posing.
  NewPose,
  ToggleMirror,
  ToggleFirmPins,
  TurnJoint,
  KeepTurn,
  // The pose library's window.
  ShowLibrary,
  // Drawing only.
  ToggleLook,
  // The reference pictures: no step, no setting.
  ChooseReference,
  RemoveReference,
  ToggleReferences,
  FainterReference,
  StrongerReference,
  ReferenceLeft,
  ReferenceRight,
  ReferenceUp,
  ReferenceDown,
  LargerReference,
  SmallerReference,
};

// What a mouse button starts: posing (a click pins, a press on a handle
// drags it), removing a handle, or one of the camera's moves.
enum class Gesture { None, Pose, Unpin, Rotate, Pan, Zoom, WheelZoom };

// The answers of the questions the program asks, each with its own key.
enum class Answer {
  Save,
  Discard,
  Replace,
  Overwrite,
  Keep,
  Cancel,
  // The frame chooser's steps.
  FirstFrame,
  LastFrame,
  EarlierFrames,
  LaterFrames,
  // The picture options' choices.
  DoubleSize,
  QuadrupleSize,
  Width,
  Black,
  White,
  Transparent,
  // The pose library's.
  ApplyPose,
  AddPose,
  RenamePose,
  DeletePose,
  MirrorPose,
  PoseLeft,
  PoseRight,
  PoseAbove,
  PoseBelow,
  Plain,
  Clay,
  WithReferences,
};
