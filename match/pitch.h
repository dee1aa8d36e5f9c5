// The pitch and the numbers of the rules: pitch units from the centre spot,
// speeds per tick. Single-precision values, as the rules compare them.
#pragma once

constexpr float SideLine = 0.77f;    // |x| past it: the ball is over a side line
constexpr float GoalLine = 0.98f;    // |y| past it: over a goal line
constexpr float TouchLine = 0.75f;   // players stop at |x| 0.75; throw-ins and corners start there
constexpr float CornerSpotY = 0.97f; // |restartY| of a corner; a throw-in lies between
constexpr float DiagonalScale = 0.75f; // a diagonal step's length against a straight one
constexpr float RunImpulse = 0.002f;   // a running player's speed, renewed every frame
constexpr float FullCharge = 0.02f;    // a shot's charge stops growing here
