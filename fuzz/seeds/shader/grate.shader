// a two-sided grate, a clamped decal and a tinted window
textures/base/grate
{
	cull none
	surfaceparm trans
	{
		map textures/base/grate.tga
		alphaFunc GE128
		depthWrite
	}
	{
		map $lightmap
		blendFunc GL_DST_COLOR GL_ZERO
		depthFunc equal
	}
}
textures/base/decal
{
	cull twosided
	{
		clampMap textures/base/decal.tga
		blendFunc filter
		alphaFunc LT128
	}
}
