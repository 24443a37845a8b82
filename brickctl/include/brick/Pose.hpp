/// @file
/// @brief brick::Pose, where a two-wheeled robot reckons it is.
#ifndef BRICK_POSE_HPP
#define BRICK_POSE_HPP

namespace brick {

/// @brief Where a two-wheeled robot is, as its own odometry reckons it from the wheels' counts:
/// centimetres from where it began, and its heading.
///
/// The frame is the start's: +x straight ahead, +y to the left, headings counter-clockwise from
/// +x. Only what the wheels' counts say is known: a wheel that slips, or a robot pushed, moves
/// without the pose knowing.
struct Pose {
  double x = 0;        ///< centimetres along the start's heading
  double y = 0;        ///< centimetres to the start's left
  double heading = 0;  ///< degrees counter-clockwise from +x, within (-180, 180]
};

}  // namespace brick

#endif
