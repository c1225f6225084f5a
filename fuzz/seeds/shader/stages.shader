// a wall with a lightmap stage and a glow
textures/base/wall
{
	qer_editorimage textures/base/wall_ed.tga
	surfaceparm nonsolid
	{
		map $lightmap
		rgbGen identity
	}
	{
		map textures/base/wall.tga
		blendFunc GL_DST_COLOR GL_ZERO
	}
	{
		clampMap textures/base/glow.tga
		blendFunc add
		tcMod scroll 0.1 0
	}
}
