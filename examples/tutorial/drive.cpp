// tutorial/drive.cpp: both wheels two turns forward, then a spin on the spot.
#include <brick/brick.hpp>

#include <chrono>
#include <iostream>

using namespace std::chrono_literals;

// Starts both wheels' turns, then waits until the brick reports each move over.
static void wheels(brick::Motor& left, int leftPower, brick::Motor& right, int rightPower,
                   long degrees) {
  left.turn(leftPower, degrees);
  right.turn(rightPower, degrees);
  left.wait(30s);
  right.wait(30s);
}

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: drive DEVICE\n";
    return 2;
  }
  try {
    brick::Brick nxt(argv[1]);
    brick::Motor left = nxt.motor(brick::Port::B);
    brick::Motor right = nxt.motor(brick::Port::C);
    wheels(left, 50, right, 50, 720);
    wheels(left, 40, right, -40, 230);
    std::cout << "left wheel at " << left.position() << " degrees\n";
  } catch (const brick::Error& e) {
    std::cerr << "drive: " << e.what() << '\n';
    return 1;
  }
}
