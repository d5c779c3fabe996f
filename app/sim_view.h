// The scene: rotation, projection, clip test and the particle shapes on the graphics page.
#pragma once
#include <cstdint>

// The frame's drawing: page switch, panel text, boundary cube, particles.
void sim_draw_frame();
// Every active particle in its species colour and the current shape.
void sim_draw_particles();
// Segments between the mean points of every pair of active species (colour 14).
void sim_draw_mean_lines();

// Turns a model point by sim_angle_c about the vertical axis, then by sim_angle_a about the
// horizontal one.
void sim_rotate(float& x, float& y, float& z);
// Polls one mouse event, rotates, clip-tests (may set sim_clipped) and projects a point.
void sim_project(float x, float y, float z, float& sx, float& sy);

void sim_draw_segment(float x1, float y1, float z1, float x2, float y2, float z2);
void sim_draw_dot(float x, float y, float z);
void sim_draw_cross(float x, float y, float z, float size);
// The twelve edges of an axis-aligned cube of side `size` around (x, y, z). Each corner is
// rotated once and shared by its three edges; the result matches the edge-by-edge drawing.
void sim_draw_wire_cube(float x, float y, float z, float size);

// Projected points since process start (benchmarks).
extern int64_t sim_projected_points;
